#!/bin/sh
# Message-side benchmarks, each printed as a ratio to its anchor measured in
# the same run:
#   listing: 10,000 files loaded for sender/subject/date vs plain header reads
#   parse:   load and decode of a ~58 MB message vs GMime alone (wall and CPU
#            time, peak memory; five runs each, medians)
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
for i in 1 2 3 4 5; do
  nice -n 10 "$build/bin/bench_parse" control "$work/big.msg" "$work/out" | sed 's/^/control /'
  nice -n 10 "$build/bin/bench_parse" gmime "$work/big.msg" "$work/out" | sed 's/^/gmime   /'
done | tee "$work/parse.txt"
median() { sort -n | sed -n 3p; }
field() { awk -v who="$1" -v n="$2" '$1 == who {print $n}' "$work/parse.txt"; }
ct=$(field control 7 | median)
gt=$(field gmime 7 | median)
cc=$(field control 11 | median)
gc=$(field gmime 11 | median)
cm=$(field control 9 | sort -n | tail -1)
gm=$(field gmime 9 | sort -n | tail -1)
size=$(wc -c <"$work/big.msg")
awk -v ct="$ct" -v gt="$gt" -v cc="$cc" -v gc="$gc" -v cm="$cm" -v gm="$gm" -v size="$size" 'BEGIN {
  printf "median ms:     control %.1f gmime %.1f ratio %.2f\n", ct, gt, ct / gt
  printf "median cpu ms: control %.1f gmime %.1f ratio %.2f\n", cc, gc, cc / gc
  printf "peak kB:       control %d gmime %d ratio %.2f (message %d kB)\n", cm, gm, cm / gm, size / 1024 }'
