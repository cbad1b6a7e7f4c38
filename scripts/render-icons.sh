#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG (needs rsvg-convert from librsvg2-bin).
# The PNGs are committed, so building needs no SVG renderer; run this after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")/../dist/icons"
for size in 16 22 24 32 48 64 128 256 512; do
  rsvg-convert -w "$size" -h "$size" org.korvel.Korvel.svg -o "org.korvel.Korvel-$size.png"
done
