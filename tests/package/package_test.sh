#!/usr/bin/env bash
# Builds the Debian package from a finished build, checks what is in it and
# what lintian says of it, installs it on this machine (dpkg -i, then
# apt-get -f install for any missing dependency), starts the installed
# /usr/bin/zapis-bitmapy and /usr/bin/tablica-obraz under a private X server,
# waits for each one's window and finally purges the package again.
#
# Installing touches the system, so this runs as root (or with password-less
# sudo), as it does on the throw-away CI machine.
#
# Usage: package_test.sh BUILD_DIR VERSION
set -euo pipefail

build_dir=$1
version=$2
title='Zapis bitmapy do tablicy informacyjnej.'
package=zapis-bitmapy

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
step() { echo "---- $*"; }

# --- the installed windows (this script with --windows WORK, run by its main
# flow on an X server of their own) -----------------------------------------------
app_pid=""

# Starts /usr/bin/$1 in an empty folder under $work and waits for its window
# titled $2: sets app_pid and window.
start_installed_window() {
  local program=$1 name=$2
  (cd "$work/run" && exec env -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$work/config" \
    "/usr/bin/$program" >"$work/$program.log" 2>&1) &
  app_pid=$!
  window=""
  for _ in $(seq 150); do
    kill -0 "$app_pid" 2>/dev/null || { cat "$work/$program.log"; fail "$program ended by itself"; }
    window=$(xdotool search --onlyvisible --name "^${name//./\\.}\$" 2>/dev/null | head -1 || true)
    [ -n "$window" ] && return 0
    sleep 0.2
  done
  cat "$work/$program.log"
  fail "no window titled '$name' appeared"
}

stop_installed_window() {
  kill "$app_pid"
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
}

check_installed_windows() {
  trap '[ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null' EXIT
  # An empty working folder: no ustaw.txt, so no port is opened and no message
  # box comes up; a private configuration folder, so no port link of the user's
  # is seen.
  mkdir -p "$work/run" "$work/config"

  step "start /usr/bin/zapis-bitmapy on the X server $DISPLAY"
  local desktop="$work/root/usr/share/applications/pl.zapisbitmapy.ZapisBitmapy.desktop"
  start_installed_window zapis-bitmapy "$title"
  [ "$(xdotool getwindowname "$window")" = "$title" ] || fail "the window's title is wrong"
  # The main window is 421 x 440; a message box with the same caption would be
  # smaller, so the size tells the two apart.
  geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/^ *Geometry: //p')
  [ "$geometry" = "421x440" ] || fail "the window is $geometry, the main window is 421x440"
  windows=$(xdotool search --onlyvisible --name "^${title//./\\.}\$" | wc -l)
  [ "$windows" -eq 1 ] || fail "$windows windows titled '$title'; only the main window was expected"
  # Docks and task bars tie the window to its menu entry (and its icon) by the
  # window's class.
  wm_class=$(sed -n 's/^StartupWMClass=//p' "$desktop")
  xdotool search --classname "^${wm_class}\$" | grep -qx "$window" ||
    fail "the window's class is not '$wm_class', which the desktop entry names"
  echo "window $window: '$title', $geometry, class $wm_class"
  stop_installed_window

  step "start /usr/bin/tablica-obraz on the X server $DISPLAY"
  local obraz_title='Przygotowanie obrazu dla tablicy'
  start_installed_window tablica-obraz "$obraz_title"
  local obraz_desktop="$work/root/usr/share/applications/pl.zapisbitmapy.TablicaObraz.desktop"
  wm_class=$(sed -n 's/^StartupWMClass=//p' "$obraz_desktop")
  xdotool search --classname "^${wm_class}\$" | grep -qx "$window" ||
    fail "the picture window's class is not '$wm_class', which its desktop entry names"
  echo "window $window: '$obraz_title', class $wm_class"
  stop_installed_window
}

if [ "$build_dir" = --windows ]; then
  work=$version
  check_installed_windows
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || fail "installing the package needs root or password-less sudo"
  sudo="sudo -n"
fi

work=$(mktemp -d)
installed_by_us=0
cleanup() {
  if [ "$installed_by_us" -eq 1 ]; then
    $sudo dpkg --purge "$package" >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# --- build the package ----------------------------------------------------------
step "cpack -G DEB"
cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(find "$work/out" -maxdepth 1 -name "${package}_*.deb" -print -quit)
[ -n "$deb" ] || fail "cpack made no ${package}_*.deb"
[ "$(basename "$deb")" = "${package}_${version}_$(dpkg --print-architecture).deb" ] ||
  fail "unexpected package file name: $(basename "$deb")"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes," \
  "installed size $(dpkg-deb -f "$deb" Installed-Size) KiB"

# --- control fields ---------------------------------------------------------------
step "control fields"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = "$package" ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the project's is $version"
[ "$(field Section)" = "utils" ] || fail "Section is '$(field Section)'"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer is '$(field Maintainer)'"
description=$(field Description)
[[ "$description" != *"&"*";"* ]] || fail "Description carries XML escapes: $description"
for program in zapis-bitmapy tablica-obraz tablica-convert tablica-send tablica-serwer tablica-emulator; do
  [[ "$description" == *"$program"* ]] || fail "Description does not name $program"
done
depends=$(field Depends)
echo "Depends: $depends"
# Computed from the linked libraries, so both the C library and Qt's widget
# library must be named, each with a minimal version.
for lib in libc6 libqt6widgets6 libqt6core6; do
  [[ "$depends" =~ (^|, )$lib\ \(\>=\ [^\)]+\) ]] || fail "Depends does not name $lib with a version"
done

# --- contents -------------------------------------------------------------------
step "contents"
dpkg-deb -c "$deb" >"$work/contents"
dpkg-deb -x "$deb" "$work/root"
expect_file() { # path mode
  local line
  line=$(awk -v p="./$1" '$6 == p' "$work/contents")
  [ -n "$line" ] || fail "the package lacks /$1"
  [ "$(awk '{print $1, $2}' <<<"$line")" = "$2 root/root" ] ||
    fail "/$1 is '$(awk '{print $1, $2}' <<<"$line")', wanted '$2 root/root'"
}
for program in zapis-bitmapy tablica-obraz tablica-emulator tablica-send; do
  expect_file "usr/bin/$program" -rwxr-xr-x
  expect_file "usr/share/man/man1/$program.1.gz" -rw-r--r--
  gzip -t "$work/root/usr/share/man/man1/$program.1.gz" || fail "$program.1.gz is not gzip"
done
for entry in pl.zapisbitmapy.ZapisBitmapy pl.zapisbitmapy.TablicaObraz pl.zapisbitmapy.TablicaEmulator; do
  expect_file "usr/share/applications/$entry.desktop" -rw-r--r--
done
expect_file usr/share/metainfo/pl.zapisbitmapy.ZapisBitmapy.metainfo.xml -rw-r--r--
expect_file usr/share/doc/zapis-bitmapy/copyright -rw-r--r--
expect_file usr/share/doc/zapis-bitmapy/changelog.gz -rw-r--r--
for icon in zapis-bitmapy tablica-obraz tablica-emulator; do
  expect_file "usr/share/icons/hicolor/scalable/apps/$icon.svg" -rw-r--r--
  for size in 16 24 32 48 64 128 256; do
    png="usr/share/icons/hicolor/${size}x${size}/apps/$icon.png"
    expect_file "$png" -rw-r--r--
    file -b "$work/root/$png" | grep -q "^PNG image data, $size x $size," ||
      fail "/$png is not a $size x $size PNG: $(file -b "$work/root/$png")"
  done
done
# tablica-serwer, when this build has it: the program, its manual page, its
# systemd unit and its settings (a configuration file of the package).
service=0
if [ -e "$work/root/usr/bin/tablica-serwer" ]; then
  service=1
  unit_dir=$(pkg-config --variable=systemdsystemunitdir systemd 2>/dev/null || echo /lib/systemd/system)
  unit_dir=${unit_dir#/}
  expect_file usr/bin/tablica-serwer -rwxr-xr-x
  expect_file usr/share/man/man1/tablica-serwer.1.gz -rw-r--r--
  expect_file "$unit_dir/tablica-serwer.service" -rw-r--r--
  expect_file etc/default/tablica-serwer -rw-r--r--
  dpkg-deb -e "$deb" "$work/control"
  grep -qx /etc/default/tablica-serwer "$work/control/conffiles" ||
    fail "/etc/default/tablica-serwer is not a conffile"
  for script in postinst prerm postrm; do
    [ -x "$work/control/$script" ] || fail "the package has no $script for the service's user"
    sh -n "$work/control/$script" || fail "$script is not a valid shell script"
  done
  [[ "$(field Depends)" =~ (^|, )adduser($|,) ]] || fail "Depends does not name adduser"
fi
# Every directory in the package is a plain 0755 root directory.
bad_dirs=$(awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root")' "$work/contents")
[ -z "$bad_dirs" ] || fail "directories with unusual permissions: $bad_dirs"

# --- desktop entries and AppStream metadata -------------------------------------
step "desktop entries, AppStream metadata"
desktop="$work/root/usr/share/applications/pl.zapisbitmapy.ZapisBitmapy.desktop"
desktop-file-validate "$work/root/usr/share/applications/"*.desktop
grep -qx 'Name=Zapis bitmapy do tablicy informacyjnej' "$desktop" || fail "desktop entry's Name"
grep -qx 'Categories=Utility;' "$desktop" || fail "desktop entry's Categories"
# Each entry starts a program and shows an icon that the package itself holds.
for entry in "$work/root/usr/share/applications/"*.desktop; do
  exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
  [ -x "$work/root/usr/bin/$exec_program" ] || fail "$(basename "$entry") starts '$exec_program'"
  icon=$(sed -n 's/^Icon=//p' "$entry")
  [ -f "$work/root/usr/share/icons/hicolor/48x48/apps/$icon.png" ] ||
    fail "$(basename "$entry") shows icon '$icon', which the package lacks"
done
appstreamcli validate --no-net --explain \
  "$work/root/usr/share/metainfo/pl.zapisbitmapy.ZapisBitmapy.metainfo.xml"
grep -q "<release version=\"$version\"" \
  "$work/root/usr/share/metainfo/pl.zapisbitmapy.ZapisBitmapy.metainfo.xml" ||
  fail "the metadata names no release $version"
zcat "$work/root/usr/share/doc/zapis-bitmapy/changelog.gz" | head -1 |
  grep -q "^$package ($version) " || fail "the changelog's first entry is not $version"

# --- lintian --------------------------------------------------------------------
step "lintian"
# lintian fails on errors by default; warnings and notes are printed.
lintian --info "$deb" 2>&1 | tee "$work/lintian.log" || true
if grep -q '^E: ' "$work/lintian.log"; then
  fail "lintian reports errors"
fi
grep -q '^[EW]: ' "$work/lintian.log" || echo "lintian: no errors, no warnings"

# --- install --------------------------------------------------------------------
step "dpkg -i"
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
  fail "$package is already installed on this machine; remove it before running this test"
fi
installed_by_us=1
if ! $sudo dpkg -i "$deb"; then
  # Missing dependencies leave the package unpacked but not configured;
  # apt brings them in and finishes the configuration.
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 -f install -y -q
fi
[ "$(dpkg-query -W -f='${Status}' "$package")" = "install ok installed" ] ||
  fail "$package is not installed: $(dpkg-query -W -f='${Status}' "$package")"
for program in zapis-bitmapy tablica-obraz tablica-emulator tablica-send; do
  [ -x "/usr/bin/$program" ] || fail "/usr/bin/$program is missing after installing"
done

# --- the service, as systemd would run it ------------------------------------------
if [ "$service" -eq 1 ]; then
  step "tablica-serwer: unit, settings, user"
  unit="/$unit_dir/tablica-serwer.service"
  if command -v systemd-analyze >/dev/null; then
    # Checks the unit's syntax, its commands and what it names; needs no
    # running systemd. The manual page it names is checked above, in the
    # package (man-db need not be installed).
    systemd-analyze verify --man=no "$unit" || fail "systemd-analyze verify $unit"
  else
    echo "systemd-analyze is not here: the unit is checked by hand only"
  fi
  grep -qx 'EnvironmentFile=/etc/default/tablica-serwer' "$unit" || fail "the unit reads no settings"
  grep -qx 'User=tablica-serwer' "$unit" || fail "the unit does not run as tablica-serwer"
  id -nG tablica-serwer | tr ' ' '\n' | grep -qx dialout ||
    fail "the user tablica-serwer is not in the group dialout: $(id -nG tablica-serwer)"
  if [ -d /run/systemd/system ]; then
    # Not enabled, not started: the port must be chosen first.
    [ "$(systemctl is-enabled tablica-serwer.service 2>/dev/null || true)" = disabled ] ||
      fail "the service is enabled at install"
    systemctl is-active --quiet tablica-serwer.service && fail "the service runs after install"
  fi
  # The unit's command line with the settings of the installed defaults
  # file, as systemd puts them together (${VAR}: one word; $VAR: split at
  # white space); a port named and a free loopback address instead of the
  # defaults' empty port and 8080.
  (
    set -a
    # shellcheck disable=SC1091
    . /etc/default/tablica-serwer
    set +a
    [ -z "$TABLICA_PORT" ] || fail "the installed defaults name a port; the user must choose it"
    [ -n "$TABLICA_OPTIONS" ] || fail "the installed defaults have no options"
    listen_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    TABLICA_PORT=9
    TABLICA_OPTIONS="${TABLICA_OPTIONS/127.0.0.1:8080/127.0.0.1:$listen_port} --name paczka"
    exec_start=$(sed -n 's/^ExecStart=//p' "$unit")
    exec_start=${exec_start//'${TABLICA_PORT}'/'"$TABLICA_PORT"'}
    eval "set -- $exec_start"
    [ "$1" = /usr/bin/tablica-serwer ] || fail "the unit starts $1"
    mkdir -p "$work/service"
    # The installed virtual board as COM 9.
    env XDG_CONFIG_HOME="$work/config" /usr/bin/tablica-emulator --port 9 --headless --json \
      >"$work/board.log" 2>&1 &
    board_pid=$!
    for _ in $(seq 50); do
      grep -q '"ready"' "$work/board.log" && break
      sleep 0.1
    done
    (cd "$work/service" && exec env XDG_CONFIG_HOME="$work/config" "$@" 2>"$work/service.log") &
    service_pid=$!
    answer=""
    for _ in $(seq 100); do
      kill -0 "$service_pid" 2>/dev/null || break
      answer=$(python3 -c 'import sys, urllib.request
print(urllib.request.urlopen("http://127.0.0.1:%s/api/status" % sys.argv[1], timeout=2).read().decode())' \
        "$listen_port" 2>/dev/null) && break
      sleep 0.2
    done
    kill "$service_pid" "$board_pid" 2>/dev/null || true
    wait "$service_pid" "$board_pid" 2>/dev/null || true
    cat "$work/service.log"
    grep -q '"port": *9' <<<"$answer" || fail "the service as the unit starts it did not answer: $answer"
    grep -q '"name": *"paczka"' <<<"$answer" || fail "the service's status: $answer"
    echo "the unit's command line answers /api/status: $answer"
  )
fi

# --- start the installed windows ----------------------------------------------------
# On an X server of their own (tests/support/xserver.py), gone when they are:
# this script runs its window step under it.
python3 "$(dirname "$0")/../support/xserver.py" --size 1024x768x24 -- \
  bash "$0" --windows "$work" || exit 1

# --- purge ----------------------------------------------------------------------
step "dpkg --purge"
$sudo dpkg --purge "$package"
installed_by_us=0
dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' &&
  fail "$package is still installed after purging"
for path in /usr/bin/zapis-bitmapy /usr/share/applications/pl.zapisbitmapy.ZapisBitmapy.desktop \
  /usr/share/doc/zapis-bitmapy; do
  [ ! -e "$path" ] || fail "$path is left behind after purging"
done
if [ "$service" -eq 1 ]; then
  for path in "/$unit_dir/tablica-serwer.service" /etc/default/tablica-serwer /var/lib/tablica-serwer; do
    [ ! -e "$path" ] || fail "$path is left behind after purging"
  done
fi
echo "package test passed"
