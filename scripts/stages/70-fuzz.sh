#!/usr/bin/env bash
# Every fuzz target for about a minute, built with clang, libFuzzer, ASan and
# UBSan; fails on any crash, leak or sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/../.."
export TABLICA_WERROR=ON
./fuzz/run "" "${FUZZ_SECONDS:-60}"
