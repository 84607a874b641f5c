#!/bin/sh
# Message-side benchmarks, each printed as a ratio to its anchor measured in
# the same run:
#   listing: 10,000 files loaded for sender/subject/date vs plain header reads
#   parse:   load and decode of a ~50 MB message vs GMime alone (time, peak memory)
# Usage: bench/run_message_bench.sh [build-dir]
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build}
nice -n 10 cmake --build "$build" --target bench_listing_load bench_parse >/dev/null
work=${BENCH_WORK:-/tmp/tovel-message-bench}
mkdir -p "$work"
echo "== listing (10,000 files)"
nice -n 10 "$build/bin/bench_listing_load" "$work/folder" 10000
echo "== parse and decode"
[ -f "$work/big.msg" ] || "$build/bin/bench_parse" generate "$work/big.msg" 50
for i in 1 2 3; do
  nice -n 10 "$build/bin/bench_parse" control "$work/big.msg" "$work/out" | sed 's/^/control /'
  nice -n 10 "$build/bin/bench_parse" gmime "$work/big.msg" "$work/out" | sed 's/^/gmime   /'
done | tee "$work/parse.txt"
median() { sort -n | sed -n 2p; }
ct=$(awk '/^control/ {print $7}' "$work/parse.txt" | median)
gt=$(awk '/^gmime/ {print $7}' "$work/parse.txt" | median)
cm=$(awk '/^control/ {print $9}' "$work/parse.txt" | sort -n | tail -1)
gm=$(awk '/^gmime/ {print $9}' "$work/parse.txt" | sort -n | tail -1)
awk -v ct="$ct" -v gt="$gt" -v cm="$cm" -v gm="$gm" 'BEGIN {
  printf "median ms: control %.1f gmime %.1f ratio %.2f\n", ct, gt, ct / gt
  printf "peak kB:   control %d gmime %d ratio %.2f\n", cm, gm, cm / gm }'
