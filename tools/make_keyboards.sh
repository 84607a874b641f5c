#!/bin/sh
# Draws assets/Nelisin.gif and assets/Velan.gif from assets/neltex.csv and the
# fonts in assets/fonts (needs Qt 6 and ImageMagick's convert).
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${TMPDIR:-/tmp}/tovel-keyboards-build
cmake -S "$here/keyboards" -B "$build" -G Ninja >/dev/null
cmake --build "$build" >/dev/null
out=$(mktemp -d)
"$build/draw_keyboards" "$root/assets/neltex.csv" "$root/assets/fonts" "$out"
convert "$out/Nelisin.png" -colors 64 "$root/assets/Nelisin.gif"
convert "$out/Velan.png" -colors 64 "$root/assets/Velan.gif"
rm -rf "$out"
echo "wrote $root/assets/Nelisin.gif $root/assets/Velan.gif"
