#!/usr/bin/env bash
# Renders the PNG icons from the SVG sources in this folder into
# hicolor/<size>x<size>/apps/, the layout of the desktop's icon theme, and
# packs the same PNGs into ../windows/<name>.ico for the Windows programs.
# The results are committed, so a build needs no SVG renderer; rerun this
# after changing an SVG (needs rsvg-convert from librsvg2-bin, and python3).
set -euo pipefail
cd "$(dirname "$0")"
sizes=(16 24 32 48 64 128 256)
for svg in zapis-bitmapy.svg tablica-emulator.svg tablica-obraz.svg; do
  name=$(basename "$svg" .svg)
  pngs=()
  for size in "${sizes[@]}"; do
    dir="hicolor/${size}x${size}/apps"
    mkdir -p "$dir"
    rsvg-convert --width "$size" --height "$size" --format png --output "$dir/$name.png" "$svg"
    pngs+=("$dir/$name.png")
  done
  # An .ico file may hold PNG images as they are: a 6-byte header, a 16-byte
  # directory entry per image, then the images.
  python3 - "../windows/$name.ico" "${pngs[@]}" <<'PY'
import struct, sys
out, pngs = sys.argv[1], sys.argv[2:]
images = [open(p, 'rb').read() for p in pngs]
header = struct.pack('<HHH', 0, 1, len(images))
offset = len(header) + 16 * len(images)
entries = b''
for data in images:
    width, height = struct.unpack('>II', data[16:24])
    entries += struct.pack('<BBBBHHII', width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
with open(out, 'wb') as f:
    f.write(header + entries + b''.join(images))
PY
done
