#!/usr/bin/env bash
# POP3 fetch benchmark: 1,000 messages of about 10 kB waiting on a private
# Dovecot (127.0.0.1, STLS), fetched by the mail control in blocking and in
# asynchronous mode, by the program's own GetMail (UIDL record and all,
# messages kept on the server), and by mpop and fetchmail from the same
# server in the same run. Each tool runs ROUNDS times, alternating; the median counts.
# Prints each figure as a ratio to the anchors.
#
# usage: bench/run_fetch_bench.sh [BUILD_DIR] [MESSAGES] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
count=${2:-1000}
rounds=${3:-3}
bench=$build/bin/bench_fetch
session=$build/bin/fetchchild
[[ -x $bench && -x $session ]] ||
  { echo "build $bench and $session first (cmake --build $build --target bench_fetch fetchchild)" >&2; exit 1; }
for tool in dovecot mpop fetchmail openssl python3; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done

source bench/bench_servers.sh
bench_servers_prepare fetchbench

python3 - "$maildir" "$count" <<'PY'
import os, sys, random
maildir, count = sys.argv[1], int(sys.argv[2])
random.seed(7)
words = "ayubowan vanakkam mail server message letter colombo kandy jaffna galle".split()
for i in range(1, count + 1):
    lines = [f"From: Sender {i} <s{i}@example.org>", "To: bench@example.test",
             f"Subject: benchmark message {i}", "Date: Sun, 6 Dec 2026 10:00:00 +0000",
             f"Message-ID: <bench{i}@example.org>", ""]
    size = 0
    while size < 10000:
        line = " ".join(random.choice(words) for _ in range(10))
        if random.random() < 0.05:
            line = "." + line
        lines.append(line)
        size += len(line) + 2
    name = f"{1700000000 + i}.M{i}P1.bench"
    with open(os.path.join(maildir, "new", name), "w") as f:
        f.write("\n".join(lines) + "\n")
PY
bench_servers_start

# Each run writes into a folder of its own, and nothing is deleted until
# the end: on ext4, files created right after many were deleted cost far
# more (the inode search passes over recently freed ones), which would
# charge one tool for the run before it.
runs=0
fresh() {
  runs=$((runs + 1))
  out=$dir/run-$runs
  mkdir -p "$out"
}

run_tovel() {  # mode
  fresh
  local t0; t0=$(now)
  TOVELMAIL_CA_FILE=$ca "$bench" "127.0.0.1:$pop3" "$user" "$password" "$1" "$out/in" >/dev/null
  local t1; t1=$(now)
  [[ $(ls "$out/in" | wc -l) == "$count" ]] || { echo "tovel $1: wrong count" >&2; exit 1; }
  record "tovel-$1" $(( (t1 - t0) / 1000000 ))
}

run_session() {
  fresh
  local t0; t0=$(now)
  TOVELMAIL_CA_FILE=$ca QT_QPA_PLATFORM=offscreen "$session" "$out" "127.0.0.1:$pop3" "$user" "$password" \
    keep >"$out/session.out" 2>/dev/null
  local t1; t1=$(now)
  [[ $(ls "$out/Inbox" | wc -l) == "$count" ]] || { echo "tovel getmail: wrong count" >&2; cat "$out/session.out" >&2; exit 1; }
  record tovel-getmail $(( (t1 - t0) / 1000000 ))
}

run_mpop() {
  fresh
  mkdir -p "$out/mpop"/{new,cur,tmp}
  local t0; t0=$(now)
  mpop --host=127.0.0.1 --port="$pop3" --auth=user --user="$user" --passwordeval="echo $password" \
    --tls=on --tls-starttls=on --tls-trust-file="$ca" --keep=on --only-new=off \
    --delivery="maildir,$out/mpop" --uidls-file="$out/uidls" --quiet >/dev/null
  local t1; t1=$(now)
  [[ $(ls "$out/mpop/new" | wc -l) == "$count" ]] || { echo "mpop: wrong count" >&2; exit 1; }
  record mpop $(( (t1 - t0) / 1000000 ))
}

run_fetchmail() {
  fresh
  cat >"$dir/fetchmailrc" <<RC
poll 127.0.0.1 with proto POP3 port $pop3
  user "$user" there with password "$password"
  keep fetchall sslcertck sslcertfile "$ca" sslcommonname localhost
RC
  chmod 0600 "$dir/fetchmailrc"
  local t0; t0=$(now)
  fetchmail -f "$dir/fetchmailrc" --nodetach --silent --idfile "$out/fetchids" \
    --pidfile "$dir/fetchmail.pid" --bsmtp "$out/fetchmail.bsmtp" 2>"$dir/fetchmail.err" || { cat "$dir/fetchmail.err" >&2; }
  local t1; t1=$(now)
  local got; got=$(grep -c '^DATA.\?$' "$out/fetchmail.bsmtp" || true)
  [[ $got == "$count" ]] || { echo "fetchmail: wrong count ($got)" >&2; head -c 600 "$out/fetchmail.bsmtp" >&2; cat "$dir/fetchmail.err" >&2; exit 1; }
  record fetchmail $(( (t1 - t0) / 1000000 ))
}

for _ in $(seq "$rounds"); do
  run_mpop
  run_fetchmail
  run_tovel blocking
  run_tovel async
  run_session
done

mpop_ms=$(median "${times[mpop]}")
fetchmail_ms=$(median "${times[fetchmail]}")
echo "POP3 fetch of $count messages (~10 kB each) from Dovecot on 127.0.0.1 with STLS, median of $rounds"
printf '  %-22s %6d ms   (runs:%s)\n' "mpop (anchor)" "$mpop_ms" "${times[mpop]}"
printf '  %-22s %6d ms   (runs:%s)\n' "fetchmail (anchor)" "$fetchmail_ms" "${times[fetchmail]}"
for mode in blocking async getmail; do
  ms=$(median "${times[tovel-$mode]}")
  printf '  %-22s %6d ms   (runs:%s)  ratio to mpop %.2f, to fetchmail %.2f\n' "tovel $mode" "$ms" \
    "${times[tovel-$mode]}" "$(echo "$ms / $mpop_ms" | bc -l)" "$(echo "$ms / $fetchmail_ms" | bc -l)"
done
