#!/usr/bin/env bash
# The Windows programs, cross-built with MinGW-w64 against Qt for Windows and
# deployed (scripts/build-windows), and their tests under Wine: the Win32
# serial backend with the COM ports linked to pseudo-terminals, the core's
# unit tests on Windows' runtime. Console programs run headless: no display
# is needed for them.
set -euo pipefail
cd "$(dirname "$0")/../.."
start=$SECONDS
./scripts/install-deps wine
export TABLICA_WERROR=ON
./scripts/build-windows --tests
cmake --build build-win64 --target tablica_wine_tests tablica_core_tests_wine window_tests_wine
# The end-to-end test sends to the virtual board of the Linux build and
# compares with its tablica-convert.
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABLICA_WERROR=ON
cmake --build build --target tablica-emulator tablica-convert
built=$SECONDS
# A fresh prefix for every run; the tests' fixture creates it once and all
# the Wine tests share it.
rm -rf build-win64/wineprefix build-win64/wineprefix.*.log
unset DISPLAY
ctest --test-dir build-win64 --output-on-failure -L wine
echo "Wine stage: $((SECONDS - start)) s (install and cross build $((built - start)) s, tests under Wine $((SECONDS - built)) s)"
