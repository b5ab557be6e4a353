#!/usr/bin/env bash
# Renders the PNG icons from the SVG sources in this folder into
# hicolor/<size>x<size>/apps/, the layout of the desktop's icon theme.
# The PNGs are committed, so a build needs no SVG renderer; rerun this after
# changing an SVG (needs rsvg-convert from librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for svg in zapis-bitmapy.svg tablica-emulator.svg; do
  name=$(basename "$svg" .svg)
  for size in 16 24 32 48 64 128 256; do
    dir="hicolor/${size}x${size}/apps"
    mkdir -p "$dir"
    rsvg-convert --width "$size" --height "$size" --format png --output "$dir/$name.png" "$svg"
  done
done
