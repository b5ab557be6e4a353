#!/usr/bin/env bash
# The real program under a private X server: each way of closing the window
# from the keyboard ends the process with exit code 0, whatever stands on
# the command line.
#   closing_e2e.sh <path to zapis-bitmapy>
set -uo pipefail
# The test runs on an X server of its own (tests/support/xserver.py), which
# is gone when the test ends, however it ends.
if [ -z "${TABLICA_CLOSING_ON_OWN_DISPLAY:-}" ]; then
  TABLICA_CLOSING_ON_OWN_DISPLAY=1 exec python3 "$(dirname "$0")/../support/xserver.py" \
    --size 800x600x24 -- bash "$0" "$@"
fi
program=$(realpath "$1")
work=$(mktemp -d)
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The stage that runs the tests asks Qt for its offscreen platform; this
# test needs a real X window that xdotool can find and type into (the X
# server's helper sets QT_QPA_PLATFORM=xcb).
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$work/runtime"

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
