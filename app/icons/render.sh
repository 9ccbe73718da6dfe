#!/bin/sh
# Renders the PNG sizes of the application icon from its SVG (Debian package librsvg2-bin).
# The PNGs are kept in the repository, so a build needs no SVG renderer.
set -eu
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" org.tolvane.Tolvane.svg -o "org.tolvane.Tolvane-$size.png"
done
