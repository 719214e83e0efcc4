#!/bin/sh
# Renders the PNG sizes of the program icon from its drawing (run after changing vellumo.svg).
set -eu
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" vellumo.svg -o "vellumo-$size.png"
done
