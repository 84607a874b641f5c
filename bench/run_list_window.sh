#!/bin/sh
# Lists a generated folder of 10,000 messages in the main window (offscreen)
# and prints the time as a ratio to reading the same files' header blocks;
# then the time to show a 20 MB message.
#   bench/run_list_window.sh [build-dir] [messages] [bigEvery] [bigMegabytes]
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift 2>/dev/null || true
QT_QPA_PLATFORM=offscreen exec "$build/bin/bench_list_window" "${1:-10000}" "${2:-100}" "${3:-3}"
