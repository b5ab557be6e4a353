#!/usr/bin/env bash
# The core and the Win32 serial backend cross-built with MinGW-w64 and tested
# under Wine, with the COM ports linked to pseudo-terminals. Runs headless:
# no display is needed for console programs.
set -euo pipefail
cd "$(dirname "$0")/../.."
start=$SECONDS
./scripts/install-deps wine
cmake -S . -B build-win64 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTABLICA_BUILD_GUI=OFF
cmake --build build-win64 --target tablica_wine_tests tablica_core_tests_wine
built=$SECONDS
# A fresh prefix for every run; the tests' fixture creates it once and all
# the Wine tests share it.
rm -rf build-win64/wineprefix build-win64/wineprefix.*.log
unset DISPLAY
ctest --test-dir build-win64 --output-on-failure -L wine
echo "Wine stage: $((SECONDS - start)) s (install and cross build $((built - start)) s, tests under Wine $((SECONDS - built)) s)"
