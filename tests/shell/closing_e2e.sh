#!/usr/bin/env bash
# The real program under a private X server: each way of closing the window
# from the keyboard ends the process with exit code 0, whatever stands on
# the command line.
#   closing_e2e.sh <path to zapis-bitmapy>
set -uo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
xvfb="" app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

display=120
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
# The stage that runs the tests asks Qt for its offscreen platform; this
# test needs a real X window that xdotool can find and type into.
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" \
  XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$work/runtime"
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done

# Starts the program with `args`, presses `keys` in its window and expects
# it to end with exit code 0.
close_with() {
  local keys=$1
  shift
  (cd "$work" && exec "$program" "$@") &
  app=$!
  local window
  window=$(timeout 20 xdotool search --sync --name '^Zapis bitmapy do tablicy informacyjnej\.$' |
    head -1)
  [ -n "$window" ] || fail "no window for: $keys"
  xdotool windowfocus --sync "$window"
  sleep 0.3
  # shellcheck disable=SC2086  # one word per key
  xdotool key $keys
  for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.05; done
  kill -0 "$app" 2>/dev/null && fail "still running after: $keys"
  local status=0
  wait "$app" || status=$?
  app=""
  [ "$status" -eq 0 ] || fail "exit code $status after: $keys"
  echo "ok: $keys ${*:+(arguments: $*)}"
}

close_with Escape
close_with shift+Escape --nieznana-opcja obraz.bmp
close_with alt+z
close_with "Tab Tab Return"  # from the port list: Wyślij, Zamknij, Enter
