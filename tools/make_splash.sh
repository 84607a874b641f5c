#!/usr/bin/env bash
# Draws the splash artwork (assets/splash.png) with ImageMagick and Pango:
# the product name over a blue gradient, with "e-mail" in Sinhala and Tamil.
set -euo pipefail
out="$(dirname "$0")/../assets/splash.png"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -size 520x300 gradient:'#1d3b6e'-'#3f7cc4' "$tmp/bg.png"
convert -background none -fill white \
  pango:'<span font="DejaVu Sans Bold 34">Tovel Mail 98</span>' "$tmp/title.png"
convert -background none -fill '#ffe9a8' \
  pango:'<span font="Noto Sans Sinhala 22">විද්‍යුත් තැපෑල</span>    <span font="Noto Sans Tamil 20">மின்னஞ்சல்</span>' "$tmp/sub.png"
convert -background none -fill '#dde8f7' \
  pango:'<span font="DejaVu Sans 11">Mail in Sinhala, Tamil and English</span>' "$tmp/line.png"
# A plain envelope drawn with lines.
convert -size 120x80 xc:none -stroke white -strokewidth 4 -fill '#2d5a9a' \
  -draw 'rectangle 4,4 116,76' -draw 'line 4,4 60,44' -draw 'line 116,4 60,44' "$tmp/env.png"
convert "$tmp/bg.png" \
  "$tmp/env.png" -geometry +30+30 -composite \
  "$tmp/title.png" -geometry +170+45 -composite \
  "$tmp/sub.png" -gravity north -geometry +0+150 -composite \
  "$tmp/line.png" -gravity south -geometry +0+30 -composite \
  "$out"
