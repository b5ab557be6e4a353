#!/usr/bin/env bash
# The serial link on the kernel's own drivers: a Linux guest under QEMU (TCG,
# no KVM, no privileges) runs this build's programs on the 16550 UART and on
# an FTDI USB adapter that is pulled out and put back
# (tests/e2e/real_serial_e2e.py). The guest's files are made once from
# Debian's kernel and busybox packages, unpacked, never installed, and kept in
# ~/.cache/tablica-qemu.
set -euo pipefail
cd "$(dirname "$0")/../.."
start=$SECONDS
./scripts/install-deps real-serial
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABLICA_WERROR=ON
cmake --build build --target tablica-send tablica-serwer
python3 -u tests/e2e/real_serial_e2e.py build/bin
echo "Real-driver stage: $((SECONDS - start)) s"
