#!/usr/bin/env bash
# Renders the application icon (assets/desktop/tovelmail.svg) into the PNG
# sizes the desktop's hicolor theme and the window use. Needs ImageMagick.
set -euo pipefail
dir="$(dirname "$0")/../assets/desktop"
for size in 48 128 256; do
  /usr/bin/convert -background none -density 300 "$dir/tovelmail.svg" -resize "${size}x${size}" \
    -strip "PNG32:$dir/tovelmail-$size.png"
done
