#!/usr/bin/env bash
# The demo: Dovecot (POP3 with STLS) and Postfix (SMTP with STARTTLS and AUTH)
# on 127.0.0.1 with a demo account, a mailbox root and a settings file of the
# demo's own, three messages waiting on the server; then the program. The
# servers stop when the program ends.
#
#   demo folder   ${TOVEL_DEMO_DIR:-~/.local/share/tovelmail-demo}
#   account       demo@example.test / demo-pass (mail to it comes back to it)
#
# Installed as tovelmail-demo it starts the installed program; in the source
# tree it starts ${TOVEL_BUILD_DIR:-build}/bin/tovelmail.
set -euo pipefail
here=$(cd "$(dirname "$(readlink -f "$0")")" && pwd)
if [[ -f $here/../share/tovelmail/demo/mailservers-setup.sh ]]; then
  program=$here/tovelmail
  setup=$here/../share/tovelmail/demo/mailservers-setup.sh
  missing_servers="Dovecot is missing: apt install dovecot-pop3d postfix"
else
  cd "$here/.."
  program=${TOVEL_BUILD_DIR:-build}/bin/tovelmail
  setup=tests/support/mailservers-setup.sh
  missing_servers="Dovecot is missing: bash scripts/install-deps.sh --demo"
fi
[[ -x $program ]] || { echo "build the program first: bash scripts/build.sh" >&2; exit 1; }
command -v dovecot >/dev/null || { echo "$missing_servers" >&2; exit 1; }

demo=${TOVEL_DEMO_DIR:-${XDG_DATA_HOME:-$HOME/.local/share}/tovelmail-demo}
user=demo@example.test
password=demo-pass
mkdir -p "$demo"
chmod 0755 "$demo"
# The servers' own users (dovecot, mail, postfix) must reach their files, and
# a home folder such as /root is closed to them: the servers live in /tmp.
srv=$(mktemp -d /tmp/tovelmail-demo-servers.XXXXXX)
chmod 0755 "$srv"
pids=()
cleanup() {
  [[ $(id -u) == 0 ]] && postfix -c "$srv/postfix" stop >/dev/null 2>&1 || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$srv"
}
trap cleanup EXIT

read -r pop3 pop3s smtp sub smtps < <(python3 - <<'PY'
import socket
socks = [socket.socket() for _ in range(5)]
for s in socks: s.bind(("127.0.0.1", 0))
print(*[s.getsockname()[1] for s in socks])
PY
)
bash "$setup" "$srv" "$pop3" "$pop3s" "$smtp" "$sub" "$smtps" "$user" "$password" >/dev/null

# Three messages waiting: plain English, a Sinhala-font letter, an attachment.
maildir=$srv/mail/example.test/demo
now=$(date -R)
cat >"$maildir/new/1.demo" <<MSG
From: Nimal Perera <nimal@example.test>
To: Demo User <demo@example.test>
Subject: Welcome to Tovel Mail 98
Date: $now
Message-ID: <welcome.1@example.test>

Ayubowan!

This message waited on the local POP3 server. Press GetMail to fetch it;
"Host Delete" removes fetched messages from the server.
MSG
# Written with the Wijesekara keys, whose codes are the Nelira98 codes:
# "මම ගෙදර යනවා" and "ශ්‍රී ලංකාව. සිංහල භාෂාව.".
cat >"$maildir/new/2.demo" <<MSG
From: ksu,a <nimal@example.test>
To: demo@example.test
Subject: uu f.or hkjd
Date: $now
X-Mailer: TovelMail
Message-ID: <sinhala.2@example.test>

\\ ,xldj' isxy, NdIdj'
uu f.or hkjd'
MSG
cat >"$maildir/new/3.demo" <<MSG
From: Office <office@example.test>
To: demo@example.test
Subject: Minutes attached
Date: $now
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="demo-boundary"

--demo-boundary
Content-Type: text/plain; charset=us-ascii

The minutes of the meeting are attached.
--demo-boundary
Content-Type: text/plain; name="minutes.txt"
Content-Disposition: attachment; filename="minutes.txt"
Content-Transfer-Encoding: base64

$(printf '1. Opening\n2. Budget\n3. Any other business\n' | base64)
--demo-boundary--
MSG
[[ $(id -u) == 0 ]] && chown -R mail:mail "$srv/mail"

dovecot -F -c "$srv/dovecot/dovecot.conf" &
pids+=($!)
smtp_note=
if [[ $(id -u) == 0 ]]; then
  postfix -c "$srv/postfix" start-fg >"$srv/postfix.log" 2>&1 &
  pids+=($!)
else
  smtp_note=" (Postfix needs root: sending will fail)"
fi
for port in "$pop3" "$smtp"; do
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
  done
done

# The six settings, digit-encoded as the program stores them.
export TOVELMAIL_ROOT=$demo/Email/
export TOVELMAIL_SETTINGS=$demo/tovelmail.ini
export TOVELMAIL_CA_FILE=$srv/tls/ca.pem
python3 - "$TOVELMAIL_SETTINGS" "$user" "Demo User" "127.0.0.1:$pop3" "$password" "127.0.0.1:$smtp" <<'PY'
import os, sys
path, email, name, pop, password, smtp = sys.argv[1:]
def enc(s): return "".join("%03d" % b for b in reversed(s.encode("latin-1")))
values = [("USEREMAIL", email), ("USERNAME", name), ("POPHOST", pop),
          ("POPUSER", email), ("POPDOOR", password), ("SMTPHOST", smtp)]
fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
with os.fdopen(fd, "w") as f:
    f.write("[SOFTWARE]\n")
    for key, value in values:
        f.write("TOVELMAIL\\%s=%s\n" % (key, enc(value)))
PY

echo "Demo servers: POP3 127.0.0.1:$pop3, SMTP 127.0.0.1:$smtp$smtp_note"
echo "Account $user, password $password; mailbox $TOVELMAIL_ROOT"
"$program" "$@"
