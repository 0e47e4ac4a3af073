#!/usr/bin/env bash
# Draws the hicolor PNG sizes of the icon from corvel.svg with rsvg-convert
# (apt-get install librsvg2-bin). The PNGs are committed, so building needs
# no SVG renderer; running this again gives the same files.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$size"
  rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio corvel.svg --output "$size/corvel.png"
done
