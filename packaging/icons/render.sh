#!/usr/bin/env bash
# Renders the PNG sizes of the application icon from orvantor.svg. The PNGs
# are kept in the repository so that building and packaging need no SVG
# renderer; run this after changing the SVG (needs rsvg-convert, from
# Debian's librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
command -v rsvg-convert >/dev/null || { echo "render.sh: install librsvg2-bin first" >&2; exit 1; }
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" orvantor.svg --output "orvantor-$size.png"
done
