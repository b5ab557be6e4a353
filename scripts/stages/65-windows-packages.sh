#!/usr/bin/env bash
# The Windows ZIP and setup program under Wine (tests/windows): the ZIP is the
# portable folder; the setup installs over an older version and over itself,
# the installed window starts from the Start menu, the installed sender
# reaches the virtual board, and the uninstaller leaves nothing behind.
set -euo pipefail
cd "$(dirname "$0")/../.."
start=$SECONDS
./scripts/install-deps windows-packages
export TABLICA_WERROR=ON
# The packages come with the Windows build (stage 60); made here when missing.
version=$(sed -n 's/^project(zapis_bitmapy VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -f "build-win64/zapis-bitmapy-$version-win64-setup.exe" ] || ./scripts/build-windows
unset DISPLAY
ctest --test-dir build --output-on-failure --no-tests=error -L wine
echo "Windows packages stage: $((SECONDS - start)) s"
