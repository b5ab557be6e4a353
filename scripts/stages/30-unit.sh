#!/usr/bin/env bash
# Every CTest test of the normal build that needs no extra machinery
# (Wine, fuzzing and packaging have stages of their own), after the check
# that every C++ file is formatted as .clang-format says.
set -euo pipefail
cd "$(dirname "$0")/../.."
./scripts/check-format
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -LE 'wine|fuzz|package' -j2
