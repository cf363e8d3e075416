#!/usr/bin/env bash
# Renders the application icon into the hicolor PNG sizes that are installed
# beside the scalable SVG. Run it after changing murmurscript.svg or
# murmurscript-16.svg and commit the result (needs rsvg-convert from librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  source=murmurscript.svg
  # The 16-pixel drawing keeps the small sizes sharp.
  if [ "$size" -lt 32 ]; then source=murmurscript-16.svg; fi
  mkdir -p "hicolor/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$source" -o "hicolor/${size}x${size}/apps/murmurscript.png"
done
