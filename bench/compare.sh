#!/usr/bin/env bash
# Every headline figure in one run, each as a ratio to its anchor measured in
# the same run, printed as one table at the end:
#   listing 10,000 files          vs plain reads of their header blocks
#   the same, automatic fonts     (each column's script judged) vs the same reads
#   50 MB message load, peak mem  vs GMime alone
#   POP3 fetch of 1,000 messages  vs mpop and fetchmail (same Dovecot)
#   SMTP send (10 MB, 100 queued) vs msmtp (same Postfix; when
#                                 bench/run_send_bench.sh exists)
#   start-up to the main window   vs a bare Qt window (offscreen)
#   10,000-message folder shown   vs plain reads of their header blocks
#   20 MB attachment written      vs GMime writing the same message (time,
#                                 peak memory)
#   script detection (1 MB, cells) vs Latin-1 decoding of the same bytes
# Installs nothing: a missing anchor is named with the command that brings it.
#
# usage: bench/compare.sh [BUILD_DIR]      (BENCH_ROUNDS: fetch and send rounds, 3)
set -uo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$src/build}" && pwd) || exit 1
log=$(mktemp -d /tmp/tovel-compare-XXXXXX)
trap 'rm -rf "$log"' EXIT
rows=()
row() { rows+=("$(printf '%-34s %12s %-22s %12s %7s' "$@")"); }
skip() { rows+=("$(printf '%-34s %s' "$1" "skipped: $2")"); }
missing() {  # tool... : the first one not installed, or nothing
  for tool in "$@"; do command -v "$tool" >/dev/null || { echo "$tool"; return; }; done
}
deps_hint="bash scripts/install-deps.sh --bench"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

echo "building the benchmarks ..." >&2
targets=(tovelmail bench_listing_load bench_parse bench_fetch fetchchild bench_list_window bench_startup bench_attach
         bench_detect)
[[ -f $src/bench/bench_send.cpp ]] && targets+=(bench_send)
nice -n 10 cmake --build "$build" --target "${targets[@]}" >"$log/build.txt" 2>&1 || { cat "$log/build.txt"; exit 1; }
bin=$build/bin

echo "listing and 50 MB load ..." >&2
if BENCH_WORK=$log/message bash "$src/bench/run_message_bench.sh" "$build" >"$log/message.txt" 2>&1; then
  read -r ours anchor < <(awk '/^listing_load_ms/ {o=$2} /^plain_header_read_ms/ {a=$2} END {print o, a}' "$log/message.txt")
  row "listing 10,000 files" "$ours ms" "plain header reads" "$anchor ms" "$(ratio "$ours" "$anchor")"
  read -r ours anchor < <(awk '/^listing_autofont_ms/ {o=$2} /^plain_header_read_ms/ {a=$2} END {print o, a}' "$log/message.txt")
  row "listing, automatic fonts" "$ours ms" "plain header reads" "$anchor ms" "$(ratio "$ours" "$anchor")"
  read -r ours anchor < <(awk '/^median ms:/ {print $4, $6}' "$log/message.txt")
  row "50 MB message load (wall)" "$ours ms" "GMime alone" "$anchor ms" "$(ratio "$ours" "$anchor")"
  read -r ours anchor < <(awk '/^peak kB:/ {print $4, $6}' "$log/message.txt")
  row "50 MB message load (peak memory)" "$((ours / 1024)) MB" "GMime alone" "$((anchor / 1024)) MB" "$(ratio "$ours" "$anchor")"
else
  skip "listing, 50 MB load" "bench/run_message_bench.sh failed (see below)"
  tail -5 "$log/message.txt" >&2
fi

echo "POP3 fetch ..." >&2
tool=$(missing dovecot mpop fetchmail bc python3 openssl)
if [[ -n $tool ]]; then
  skip "POP3 fetch" "$tool is missing ($deps_hint)"
elif bash "$src/bench/run_fetch_bench.sh" "$build" 1000 "${BENCH_ROUNDS:-3}" >"$log/fetch.txt" 2>&1; then
  mpop_ms=$(awk '/mpop \(anchor\)/ {print $3}' "$log/fetch.txt")
  fetchmail_ms=$(awk '/fetchmail \(anchor\)/ {print $3}' "$log/fetch.txt")
  for mode in blocking async getmail; do
    ms=$(awk -v m="$mode" '$1 == "tovel" && $2 == m {print $3}' "$log/fetch.txt")
    row "POP3 fetch 1,000 msgs ($mode)" "$ms ms" "mpop" "$mpop_ms ms" "$(ratio "$ms" "$mpop_ms")"
    row "" "" "fetchmail" "$fetchmail_ms ms" "$(ratio "$ms" "$fetchmail_ms")"
  done
else
  skip "POP3 fetch" "bench/run_fetch_bench.sh failed"
  tail -5 "$log/fetch.txt" >&2
fi

echo "SMTP send ..." >&2
if [[ ! -f $src/bench/run_send_bench.sh ]]; then
  skip "SMTP send" "bench/run_send_bench.sh does not exist yet"
elif tool=$(missing postfix msmtp) && [[ -n $tool ]]; then
  skip "SMTP send" "$tool is missing ($deps_hint)"
elif bash "$src/bench/run_send_bench.sh" "$build" "${BENCH_ROUNDS:-3}" >"$log/send.txt" 2>&1; then
  # Its lines read "  LABEL  msmtp N ms (runs: ...)  tovel N ms (runs: ...)  ratio R".
  while IFS='|' read -r label ours anchor; do
    row "SMTP send ($label)" "$ours ms" "msmtp" "$anchor ms" "$(ratio "$ours" "$anchor")"
  done < <(awk '/ msmtp .* tovel .* ratio / {
      label = $0; sub(/^ +/, "", label); sub(/ +msmtp .*/, "", label)
      for (i = 1; i <= NF; i++) { if ($i == "msmtp") m = $(i + 1); if ($i == "tovel") t = $(i + 1) }
      print label "|" t "|" m }' "$log/send.txt")
else
  skip "SMTP send" "bench/run_send_bench.sh failed"
  tail -5 "$log/send.txt" >&2
fi

echo "start-up ..." >&2
start=$log/startup
mkdir -p "$start"
python3 - "$start/tovelmail.ini" <<'PY'
import sys
def enc(s): return "".join("%03d" % b for b in reversed(s.encode("latin-1")))
values = {"USEREMAIL": "me@example.test", "USERNAME": "Me", "POPHOST": "127.0.0.1:1",
          "POPUSER": "me", "POPDOOR": "secret", "SMTPHOST": "127.0.0.1:1"}
with open(sys.argv[1], "w") as f:
    f.write("[SOFTWARE]\n" + "".join("TOVELMAIL\\%s=%s\n" % (k, enc(v)) for k, v in values.items()))
PY
wall_ms() { local t0 t1; t0=$(date +%s%N); "$@" >/dev/null 2>&1 || return 1; t1=$(date +%s%N); echo $(( (t1 - t0) / 1000000 )); }
ours=() anchor=()
for _ in 1 2 3 4 5 6 7; do
  ours+=("$(QT_QPA_PLATFORM=offscreen TOVELMAIL_ROOT=$start/Email/ TOVELMAIL_SETTINGS=$start/tovelmail.ini \
            wall_ms "$bin/tovelmail" --check)")
  anchor+=("$(QT_QPA_PLATFORM=offscreen wall_ms "$bin/bench_startup")")
done
ours_ms=$(printf '%s\n' "${ours[@]}" | median)
anchor_ms=$(printf '%s\n' "${anchor[@]}" | median)
if [[ -n $ours_ms && -n $anchor_ms ]]; then
  row "start-up to main window shown" "$ours_ms ms" "bare Qt main window" "$anchor_ms ms" "$(ratio "$ours_ms" "$anchor_ms")"
else
  skip "start-up" "tovelmail --check failed (run it by hand to see why)"
fi

echo "10,000-message folder in the window ..." >&2
if QT_QPA_PLATFORM=offscreen nice -n 10 "$bin/bench_list_window" 10000 100 3 >"$log/window.txt" 2>&1; then
  anchor=$(awk '/^anchor +read header blocks:/ {print $5}' "$log/window.txt")
  ours=$(awk '/^listing in the window:/ {print $5}' "$log/window.txt")
  row "10,000-message folder in window" "$ours ms" "plain header reads" "$anchor ms" "$(ratio "$ours" "$anchor")"
else
  skip "10,000-message folder in window" "bench_list_window failed"
  tail -5 "$log/window.txt" >&2
fi

echo "20 MB attachment written ..." >&2
if nice -n 10 "$bin/bench_attach" 20 >"$log/attach.txt" 2>&1; then
  read -r ours anchor < <(awk '/^time ms:/ {print $4, $6}' "$log/attach.txt")
  row "20 MB attachment written (wall)" "$ours ms" "GMime writer" "$anchor ms" "$(ratio "$ours" "$anchor")"
  read -r ours anchor < <(awk '/^peak kB:/ {print $4, $6}' "$log/attach.txt")
  row "20 MB attachment (peak memory)" "$((ours / 1024)) MB" "GMime writer" "$((anchor / 1024)) MB" "$(ratio "$ours" "$anchor")"
else
  skip "20 MB attachment written" "bench_attach failed"
  tail -5 "$log/attach.txt" >&2
fi

echo "script detection ..." >&2
if nice -n 10 "$bin/bench_detect" >"$log/detect.txt" 2>&1; then
  while read -r label ours anchor; do
    row "detect script, 1 MB $label" "$ours ms" "Latin-1 decoding" "$anchor ms" "$(ratio "$ours" "$anchor")"
  done < <(awk '$1 == "message" {print $2, $3, $5}' "$log/detect.txt")
  read -r ours anchor < <(awk '$1 == "cells" {print $3, $5}' "$log/detect.txt")
  row "detect script, one list cell" "$ours ns" "Latin-1 decoding" "$anchor ns" "$(ratio "$ours" "$anchor")"
else
  skip "script detection" "bench_detect failed"
  tail -5 "$log/detect.txt" >&2
fi

echo
printf '%-34s %12s %-22s %12s %7s\n' "figure" "ours" "anchor" "anchor value" "ratio"
printf '%s\n' "${rows[@]}"
