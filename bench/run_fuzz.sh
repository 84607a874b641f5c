#!/bin/sh
# Runs the message fuzzer for a given number of seconds (default 600) at the
# lowest priority. Builds it first in build-fuzz with clang. Crashes land in
# build-fuzz/artifacts/; the corpus grows in build-fuzz/corpus/.
set -eu
seconds=${1:-600}
src=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$src/build-fuzz}
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$src" -B "$build" -G Ninja -DTOVEL_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link -g -O1" >/dev/null
fi
nice -n 19 cmake --build "$build" --target fuzz_message >/dev/null
mkdir -p "$build/corpus" "$build/artifacts"
cp "$src"/tests/data/* "$build/corpus/" 2>/dev/null || true
cd "$build"
nice -n 19 ./bin/fuzz_message corpus -max_total_time="$seconds" -timeout=20 \
  -rss_limit_mb=2048 -max_len=65536 -artifact_prefix=artifacts/ -print_final_stats=1 2>&1 |
  grep -E "^(#[0-9]+ +DONE|stat::|==[0-9]+==ERROR|SUMMARY|artifact_prefix|Test unit written)" || true
echo "artifacts: $(ls artifacts | wc -l)"
