#!/usr/bin/env bash
# The core's unit tests again, built with AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTABLICA_SANITIZE=ON -DTABLICA_BUILD_GUI=OFF \
  -DTABLICA_WERROR=ON
cmake --build build-asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --test-dir build-asan --output-on-failure -L unit -j2
