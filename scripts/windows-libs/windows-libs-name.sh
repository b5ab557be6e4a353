#!/usr/bin/env bash
# Prints the file name of the Windows libraries' tarball that
# build-windows-libs.sh makes: it changes with the recipe, so a cache made
# by an older recipe is never taken for the current one.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
recipe=$(cat "$here/build-windows-libs.sh" "$here/../../cmake/mingw-w64-x86_64.cmake" | sha256sum | cut -c1-12)
echo "windows-libs-mingw64-mosquitto-2.0.11-httplib-0.11.4-$recipe.tar.xz"
