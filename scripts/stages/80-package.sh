#!/usr/bin/env bash
# The Debian package of the normal build: made with CPack, checked with
# lintian, installed, its window started under Xvfb, purged again
# (tests/package/package_test.sh; installs system-wide, so root or sudo).
set -euo pipefail
cd "$(dirname "$0")/../.."
./scripts/install-deps build package
ctest --test-dir build -L package --output-on-failure --no-tests=error
