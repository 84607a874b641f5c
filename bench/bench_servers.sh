# Sourced by the server benchmarks: a private Dovecot and Postfix on free
# loopback ports, configured in a temporary folder that goes when the script
# ends, and the timing helpers the scripts share.

# bench_servers_prepare NAME: sets dir, the ports (pop3 pop3s smtp sub smtps),
# user, password, ca and maildir.
bench_servers_prepare() {
  dir=$(mktemp -d "/tmp/tovel-$1-XXXXXX")
  chmod 0755 "$dir"
  dovecot_pid=
  postfix_pid=
  trap bench_servers_cleanup EXIT
  read -r pop3 pop3s smtp sub smtps < <(python3 - <<'PY'
import socket
socks = [socket.socket() for _ in range(5)]
for s in socks: s.bind(("127.0.0.1", 0))
print(*[s.getsockname()[1] for s in socks])
PY
  )
  user=bench@example.test
  password=Bench-pass1
  bash tests/support/mailservers-setup.sh "$dir/srv" "$pop3" "$pop3s" "$smtp" "$sub" "$smtps" "$user" "$password" >/dev/null
  ca=$dir/srv/tls/ca.pem
  maildir=$dir/srv/mail/example.test/bench
}

bench_servers_cleanup() {
  if [[ -n $postfix_pid ]]; then
    postfix -c "$dir/srv/postfix" stop >/dev/null 2>&1 || true
    wait "$postfix_pid" 2>/dev/null || true
  fi
  if [[ -n $dovecot_pid ]]; then
    kill "$dovecot_pid" 2>/dev/null && wait "$dovecot_pid" 2>/dev/null
  fi
  rm -rf "$dir"
}

# bench_servers_start [postfix]: starts Dovecot (and Postfix) and waits until
# they listen.
bench_servers_start() {
  if [[ $(id -u) == 0 ]]; then chown -R mail:mail "$dir/srv/mail"; fi
  dovecot -F -c "$dir/srv/dovecot/dovecot.conf" &
  dovecot_pid=$!
  local ports=$pop3
  if [[ ${1:-} == postfix ]]; then
    postfix -c "$dir/srv/postfix" start-fg >/dev/null 2>&1 &
    postfix_pid=$!
    ports+=" $smtp"
  fi
  local port
  for port in $ports; do
    for _ in $(seq 200); do
      (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
      sleep 0.1
    done
  done
}

now() { date +%s%N; }
declare -A times
record() { times[$1]="${times[$1]:-} $2"; }
median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
