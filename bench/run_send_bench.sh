#!/usr/bin/env bash
# SMTP send benchmark on a private Postfix (127.0.0.1, STARTTLS, AUTH):
#  1. one message with a 10 MB attachment, sent by the send session and by
#     msmtp (the same bytes);
#  2. a delivery run of 100 queued messages over one connection against
#     msmtp sending the same 100 files.
# Each runs ROUNDS times, alternating; the median counts. Prints each figure
# as a ratio to msmtp.
#
# usage: bench/run_send_bench.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-3}
bench=$build/bin/bench_send
[[ -x $bench ]] || { echo "build $bench first (cmake --build $build --target bench_send)" >&2; exit 1; }
for tool in dovecot postfix msmtp python3 bc; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done

source bench/bench_servers.sh
bench_servers_prepare sendbench
# Room for the large message (Postfix takes 10,240,000 bytes by default).
postconf -c "$dir/srv/postfix" -e message_size_limit=52428800 virtual_mailbox_limit=0
bench_servers_start postfix

# The messages: one with a 10 MB attachment, and 100 of about 20 kB.
python3 - "$dir" "$user" <<'PY'
import os, sys, random, base64
d, user = sys.argv[1], sys.argv[2]
random.seed(11)
def message(subject, payload, name):
    b64 = base64.encodebytes(payload).decode().replace("\n", "\r\n")
    return (f"From: Bench <{user}>\r\nTo: {user}\r\nSubject: {subject}\r\n"
            "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
            "--b\r\nContent-Type: text/plain\r\n\r\nThe attachment.\r\n"
            f"--b\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
            f"Content-Disposition: attachment; filename=\"{name}\"\r\n\r\n{b64}--b--\r\n").encode()
with open(os.path.join(d, "big.msg"), "wb") as f:
    f.write(message("big", random.randbytes(10 * 1024 * 1024), "big.bin"))
os.makedirs(os.path.join(d, "queue"))
for i in range(1, 101):
    with open(os.path.join(d, "queue", f"{i + 1:08d}.msg"), "wb") as f:
        f.write(message(f"queued {i}", random.randbytes(15000), f"q{i}.bin"))
PY

clear_mailbox() { find "$maildir" -type f -delete 2>/dev/null || true; }
delivered() { find "$maildir" -type f | wc -l; }
wait_delivered() {  # count
  for _ in $(seq 600); do [[ $(delivered) -ge $1 ]] && return; sleep 0.1; done
  echo "only $(delivered) of $1 delivered" >&2; exit 1
}

msmtp_send() {  # file
  msmtp --host=127.0.0.1 --port="$sub" --tls=on --tls-starttls=on --tls-trust-file="$ca" \
    --auth=on --user="$user" --passwordeval="echo $password" --from="$user" "$user" <"$1"
}

run_big() {
  clear_mailbox
  local t0 t1; t0=$(now)
  TOVELMAIL_CA_FILE=$ca "$bench" "127.0.0.1:$sub" "$user" "$password" "$user" big "$dir/big.msg" >/dev/null
  t1=$(now); record tovel-big $(( (t1 - t0) / 1000000 ))
  wait_delivered 1
  clear_mailbox
  t0=$(now); msmtp_send "$dir/big.msg"; t1=$(now)
  record msmtp-big $(( (t1 - t0) / 1000000 ))
  wait_delivered 1
}

run_queue() {
  clear_mailbox
  rm -rf "$dir/root"; mkdir -p "$dir/root/OutBox"; cp "$dir"/queue/*.msg "$dir/root/OutBox/"
  local t0 t1; t0=$(now)
  TOVELMAIL_CA_FILE=$ca "$bench" "127.0.0.1:$sub" "$user" "$password" "$user" queue "$dir/root" >/dev/null
  t1=$(now); record tovel-queue $(( (t1 - t0) / 1000000 ))
  [[ $(ls "$dir/root/Sent" | wc -l) == 100 && -z $(ls "$dir/root/OutBox") ]] || { echo "delivery run incomplete" >&2; exit 1; }
  wait_delivered 100
  clear_mailbox
  t0=$(now); for f in "$dir"/queue/*.msg; do msmtp_send "$f"; done; t1=$(now)
  record msmtp-queue $(( (t1 - t0) / 1000000 ))
  wait_delivered 100
}

for _ in $(seq "$rounds"); do
  run_big
  run_queue
done

echo "SMTP send to Postfix on 127.0.0.1 (STARTTLS, AUTH PLAIN), median of $rounds"
for case in big queue; do
  m=$(median "${times[msmtp-$case]}")
  t=$(median "${times[tovel-$case]}")
  label=$([[ $case == big ]] && echo "10 MB attachment" || echo "100 queued messages")
  printf '  %-20s msmtp %6d ms (runs:%s)  tovel %6d ms (runs:%s)  ratio %.2f\n' "$label" "$m" \
    "${times[msmtp-$case]}" "$t" "${times[tovel-$case]}" "$(echo "$t / $m" | bc -l)"
done
