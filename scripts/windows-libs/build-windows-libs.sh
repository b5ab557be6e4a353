#!/usr/bin/env bash
# Builds the libraries tablica-serwer.exe needs besides Qt, for 64-bit
# Windows, from Debian 12's own source packages (with Debian's patches,
# applied by dpkg-source -x):
#   libmosquitto 2.0.11 (mosquitto 2.0.11-1.2+deb12u2): the MQTT client, a
#     DLL cross-compiled with MinGW-w64 GCC (POSIX threads, as Qt is built),
#     without TLS, the broker, the command-line clients or the plugins;
#   cpp-httplib 0.11.4 (cpp-httplib 0.11.4+ds-1+deb12u1): the whole library
#     as its one header (Debian's binary package splits it into a header and
#     a compiled part built with OpenSSL; Windows gets the header as it is).
#
#   build-windows-libs.sh OUTPUT_DIR
#
# Leaves OUTPUT_DIR/windows-libs-mingw64-<versions>.tar.xz with one folder,
# windows-libs/ (include/, lib/, bin/, licenses/), that unpacks anywhere.
# Needs the packages of scripts/deps/windows.txt and deb-src entries for
# apt-get source; where the machine has none, they are added from its own
# package sources (with sudo unless run as root). A minute or two.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)
mosquitto_version=2.0.11
mosquitto_debver=2.0.11-1.2+deb12u2
httplib_version=0.11.4
httplib_debver=0.11.4+ds-1+deb12u1
name=$("$here/windows-libs-name.sh")
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

work=$(mktemp -d "$out/windows-libs-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
fetch() {
  apt-get source --download-only "mosquitto=$mosquitto_debver" "cpp-httplib=$httplib_debver"
}
if ! fetch >/dev/null 2>&1; then
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    case "$(basename "$f")" in src-*) continue ;; esac
    sed 's/^Types: deb$/Types: deb-src/' "$f" | $SUDO tee "/etc/apt/sources.list.d/src-$(basename "$f")" >/dev/null
  done
  $SUDO apt-get update -q
  fetch
fi
dpkg-source -x "mosquitto_$mosquitto_debver.dsc" mosquitto >/dev/null
dpkg-source -x "cpp-httplib_$httplib_debver.dsc" cpp-httplib >/dev/null

prefix=$work/prefix/windows-libs
mkdir -p "$prefix/include" "$prefix/licenses"

# --- libmosquitto ---------------------------------------------------------
# Its CMake file expects the pthreads-win32 of a Visual Studio machine for
# the threading support; MinGW-w64's winpthreads stands in (the same
# libwinpthread-1.dll the C++ runtime of the programs uses).
cmakelists=mosquitto/CMakeLists.txt
grep -q 'pthreadVC2.lib' "$cmakelists"
sed -i -e 's|set (PTHREAD_LIBRARIES C:\\\\pthreads\\\\Pre-built.2\\\\lib\\\\x[0-9]*\\\\pthreadVC2.lib)|set (PTHREAD_LIBRARIES pthread)|' \
       -e 's|set (PTHREAD_INCLUDE_DIR C:\\\\pthreads\\\\Pre-built.2\\\\include)|set (PTHREAD_INCLUDE_DIR "")|' "$cmakelists"
if grep -q 'pthreadVC2.lib' "$cmakelists"; then
  echo "mosquitto's CMakeLists.txt changed: the pthreads lines were not replaced" >&2
  exit 1
fi
cmake -S mosquitto -B mosquitto-build -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$here/../../cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_POLICY_DEFAULT_CMP0057=NEW -Wno-dev \
  -DWITH_TLS=OFF -DWITH_TLS_PSK=OFF -DWITH_CJSON=OFF -DWITH_SOCKS=OFF -DWITH_SRV=OFF \
  -DWITH_BROKER=OFF -DWITH_APPS=OFF -DWITH_CLIENTS=OFF -DWITH_PLUGINS=OFF \
  -DWITH_LIB_CPP=OFF -DDOCUMENTATION=OFF -DWITH_THREADING=ON -DWITH_STATIC_LIBRARIES=OFF \
  >/dev/null
cmake --build mosquitto-build
cmake --install mosquitto-build >/dev/null
# The install leaves out the import library the programs link with, and
# puts in pkg-config files (one of the C++ wrapper, not built) nothing reads.
mkdir -p "$prefix/lib"
cp mosquitto-build/lib/libmosquitto.dll.a "$prefix/lib/"
rm -rf "$prefix/lib/pkgconfig"
x86_64-w64-mingw32-strip --strip-unneeded "$prefix/bin/libmosquitto.dll"
cp mosquitto/debian/copyright "$prefix/licenses/mosquitto-copyright.txt"
cp mosquitto/epl-v20 "$prefix/licenses/mosquitto-epl-v20.txt"
cp mosquitto/edl-v10 "$prefix/licenses/mosquitto-edl-v10.txt"

# --- cpp-httplib ------------------------------------------------------------
cp cpp-httplib/httplib.h "$prefix/include/"
cp cpp-httplib/debian/copyright "$prefix/licenses/cpp-httplib-copyright.txt"
cp cpp-httplib/LICENSE "$prefix/licenses/cpp-httplib-LICENSE.txt"

printf 'libmosquitto %s (Debian %s)\ncpp-httplib %s (Debian %s)\n' \
  "$mosquitto_version" "$mosquitto_debver" "$httplib_version" "$httplib_debver" >"$prefix/VERSIONS"
tar -C "$work/prefix" -cJf "$out/$name.part" windows-libs
mv "$out/$name.part" "$out/$name"
