#!/usr/bin/env bash
# Takes the README's pictures from the real windows under Xvfb and writes
# them into docs/: main-sinhala.png, main-tamil.png, main-english.png,
# compose-sinhala.png, compose-unicode.png, keyboard-sinhala.png, keyboard-tamil.png,
# settings-user.png, settings-connection.png.
#   scripts/make_screenshots.sh [BUILD_DIR]      (needs xvfb: apt install xvfb)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing: apt install xvfb xauth" >&2; exit 1; }
nice cmake --build "$build" --target tovel_screenshots >/dev/null
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bin/tovel_screenshots" docs
