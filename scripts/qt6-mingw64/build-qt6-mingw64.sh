#!/usr/bin/env bash
# Builds Qt 6.4.2 (qtbase) for 64-bit Windows, the Qt that scripts/build-windows
# links against, when no ready-made one is at hand: cross-compiled with
# Debian 12's MinGW-w64 GCC (POSIX threads) from Debian's own qt6-base
# 6.4.2+dfsg-10 source package, against Debian's host Qt tools of the same
# version. About 35 minutes on 2 cores.
#
#   build-qt6-mingw64.sh OUTPUT_DIR
#
# Leaves OUTPUT_DIR/qt6-mingw64-6.4.2.tar.xz (one folder qt6-mingw64/ inside,
# unpacks anywhere). Needs the packages of scripts/deps/windows.txt and
# deb-src entries for apt-get source; where the machine has none, they are
# added from its own package sources (with sudo unless run as root).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)
version=6.4.2
debver=6.4.2+dfsg-10
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

work=$(mktemp -d "$out/qt-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
if ! apt-get source --download-only "qt6-base=$debver" >/dev/null 2>&1; then
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    sed 's/^Types: deb$/Types: deb-src/' "$f" | $SUDO tee "/etc/apt/sources.list.d/src-$(basename "$f")" >/dev/null
  done
  $SUDO apt-get update -q
  apt-get source --download-only "qt6-base=$debver"
fi
apt-get download libwine-dev

src=$work/qtbase-everywhere-src-$version
prefix=$work/prefix/qt6-mingw64
tar -xf "qt6-base_${debver%-*}.orig.tar.xz"
tar -xf "qt6-base_$debver.debian.tar.xz"
# Debian's upstream fixes only; its Linux-only patches are left out.
for p in cve-2023-32762.diff cve-2023-32763.diff cve-2023-33285.diff \
         upstream_Add-HPPA-detection.patch upstream_Add-M68k-detection.patch cve-2023-24607.patch; do
  patch -d "$src" -p1 <"debian/patches/$p"
done
# Debian's source lacks Qt's bundled wintab headers (their licence forbids
# changes); the Windows platform plugin needs their types. Wine's LGPL
# headers stand in, behind two small wrappers.
dpkg-deb -x libwine-dev_*.deb wine
mkdir -p "$src/src/3rdparty/wintab/wine"
cp "$(find wine -path '*/wine/windows/wintab.h' | head -1)" \
   "$(find wine -path '*/wine/windows/pktdef.h' | head -1)" "$src/src/3rdparty/wintab/wine/"
cp "$here/wintab/wintab.h" "$here/wintab/pktdef.h" "$src/src/3rdparty/wintab/"

mkdir -p "$work/build" "$prefix"
cp "$here/toolchain-mingw64-posix.cmake" "$prefix/"
cd "$work/build"
"$src/configure" -prefix "$prefix" -xplatform win32-g++ -qt-host-path /usr \
  -release -shared -opensource -confirm-license -nomake tests -nomake examples \
  -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-doubleconversion \
  -no-icu -no-zstd -no-opengl -no-vulkan -no-dbus \
  -no-feature-sql -no-feature-network -no-feature-printsupport \
  -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$prefix/toolchain-mingw64-posix.cmake" \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
cmake --build . --parallel "$(nproc)"
cmake --install .
find "$prefix" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
tar -C "$work/prefix" -cJf "$out/qt6-mingw64-$version.tar.xz.part" qt6-mingw64
mv "$out/qt6-mingw64-$version.tar.xz.part" "$out/qt6-mingw64-$version.tar.xz"
