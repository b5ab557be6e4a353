#!/bin/sh
# Starts (start) or stops (stop) the Wine prefix that the Wine tests share.
#   wine_prefix.sh start <wine64> <wineserver> [<fonts folder>]
#   wine_prefix.sh stop <wine64> <wineserver>
# WINEPREFIX names the prefix; a missing prefix is created (the slow part,
# about 10 s). The server runs until "stop", with its output in a log beside
# the prefix: it also opens the ports' pseudo-terminals and prints its object
# list when one of them hangs up, which is noise for the tests' output.
set -eu
action=$1 wine=$2 wineserver=$3 fonts=${4:-}
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
case $action in
  start)
    mkdir -p "$WINEPREFIX"
    # A server left from an earlier run is stopped, and gone, before the
    # prefix's own one starts.
    "$wineserver" -k >/dev/null 2>&1 || true
    "$wineserver" -w >/dev/null 2>&1 || true
    # The server, and the services that the first Wine program starts, keep
    # the output they inherit open: they get log files, so that a test's
    # output ends when its program does.
    "$wineserver" -p >"$WINEPREFIX.server.log" 2>&1 </dev/null
    start=$(date +%s)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "Creating the Wine prefix $WINEPREFIX"
      "$wine" wineboot -i >"$WINEPREFIX.boot.log" 2>&1 </dev/null
      # A new prefix says Windows 7; Qt 6 programs are made for Windows 10.
      "$wine" winecfg -v win10 >>"$WINEPREFIX.boot.log" 2>&1 </dev/null
      # Fonts that Windows has and this Wine lacks go where Windows keeps
      # its fonts; Wine loads what is there.
      if [ -n "$fonts" ]; then
        cp "$fonts"/* "$WINEPREFIX/drive_c/windows/Fonts/"
      fi
      # The window tests on the windows platform get a desktop of their own
      # on the X server they are started on (the prefix's default desktop
      # belongs to the headless tests).
      "$wine" reg add 'HKCU\Software\Wine\AppDefaults\window_tests_wine.exe\Explorer' \
        /v Desktop /d root /f >>"$WINEPREFIX.boot.log" 2>&1 </dev/null
    else
      "$wine" wineboot >"$WINEPREFIX.boot.log" 2>&1 </dev/null
    fi
    echo "Wine prefix ready in $(($(date +%s) - start)) s"
    ;;
  stop)
    "$wineserver" -k >/dev/null 2>&1 || true
    ;;
  *)
    echo "usage: $0 start|stop <wine64> <wineserver>" >&2
    exit 2
    ;;
esac
