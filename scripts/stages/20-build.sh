#!/usr/bin/env bash
# The normal build: program, emulator, sender and all tests.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABLICA_BUILD_BENCH=ON -DTABLICA_WERROR=ON
cmake --build build
