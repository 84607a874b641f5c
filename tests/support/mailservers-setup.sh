#!/usr/bin/env bash
# Writes a private Dovecot (POP3, POP3S) and Postfix (SMTP with STARTTLS and
# AUTH, submission port demanding AUTH, SMTPS) configuration under one folder,
# listening on 127.0.0.1 only, with a self-made certificate authority.
#
# usage: mailservers-setup.sh DIR POP3 POP3S SMTP SUBMISSION SMTPS USER PASSWORD
# USER is "name@domain"; its maildir is DIR/mail/domain/name/.
# Afterwards:  dovecot -F -c DIR/dovecot/dovecot.conf
#              postfix -c DIR/postfix start-fg        (root only)
# DIR/tls/ca.pem is the authority that signed the servers' certificate; with
# TOVEL_SELF_SIGNED=1 the certificate signs itself (ca.pem is then that
# certificate). A missing DIR/tls/server.pem is made anew on every run.
set -euo pipefail
dir=$1 pop3=$2 pop3s=$3 smtp=$4 submission=$5 smtps=$6 user=$7 password=$8
domain=${user#*@}
name=${user%@*}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
chmod 0755 "$dir"

if [[ $(id -u) == 0 ]]; then
  mail_uid=$(id -u mail) mail_gid=$(id -g mail)
  internal_user=dovecot login_user=dovenull
else
  mail_uid=$(id -u) mail_gid=$(id -g)
  internal_user=$(id -un) login_user=$(id -un)
fi

# --- certificates: an authority and a server certificate for 127.0.0.1
tls=$dir/tls
mkdir -p "$tls"
san='subjectAltName=DNS:localhost,IP:127.0.0.1'
if [[ ! -f $tls/server.pem && ${TOVEL_SELF_SIGNED:-} == 1 ]]; then
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=localhost" \
    -keyout "$tls/server.key" -out "$tls/server.pem" -addext "$san" 2>/dev/null
  cp "$tls/server.pem" "$tls/ca.pem"
  chmod 0644 "$tls"/*.pem
  chmod 0600 "$tls"/*.key
fi
if [[ ! -f $tls/server.pem ]]; then
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Test Mail Authority" \
    -keyout "$tls/ca.key" -out "$tls/ca.pem" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    2>/dev/null
  openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" \
    -keyout "$tls/server.key" -out "$tls/server.csr" 2>/dev/null
  printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' >"$tls/ext.cnf"
  openssl x509 -req -in "$tls/server.csr" -CA "$tls/ca.pem" -CAkey "$tls/ca.key" \
    -CAcreateserial -days 2 -extfile "$tls/ext.cnf" -out "$tls/server.pem" 2>/dev/null
  chmod 0644 "$tls"/*.pem
  chmod 0600 "$tls"/*.key
fi

# --- mail storage shared by both servers
mkdir -p "$dir/mail/$domain/$name"/{new,cur,tmp}
chown -R "$mail_uid:$mail_gid" "$dir/mail"
chmod -R u+rwX,go+rX "$dir/mail"

# --- Dovecot
dc=$dir/dovecot
mkdir -p "$dc/run" "$dc/state"
chmod 0755 "$dc" "$dc/run"
printf '%s:{PLAIN}%s:%s:%s::%s\n' "$user" "$password" "$mail_uid" "$mail_gid" "$dir/mail/$domain/$name" >"$dc/passwd"
chmod 0644 "$dc/passwd"
cat >"$dc/dovecot.conf" <<CONF
protocols = pop3
listen = 127.0.0.1
base_dir = $dc/run
state_dir = $dc/state
log_path = $dc/dovecot.log
info_log_path = $dc/dovecot.log
default_internal_user = $internal_user
default_login_user = $login_user
first_valid_uid = 1
ssl = yes
ssl_cert = <$tls/server.pem
ssl_key = <$tls/server.key
auth_mechanisms = plain login
disable_plaintext_auth = no
mail_location = maildir:$dir/mail/%d/%n
pop3_uidl_format = %08Xu%08Xv
passdb {
  driver = passwd-file
  args = scheme=PLAIN $dc/passwd
}
userdb {
  driver = passwd-file
  args = $dc/passwd
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $pop3
  }
  inet_listener pop3s {
    address = 127.0.0.1
    port = $pop3s
    ssl = yes
  }
}
service imap-login {
  inet_listener imap {
    port = 0
  }
  inet_listener imaps {
    port = 0
  }
}
service auth {
  unix_listener auth-postfix {
    mode = 0666
  }
}
CONF

# --- Postfix
pf=$dir/postfix
mkdir -p "$pf" "$dir/queue" "$dir/pfdata"
if [[ $(id -u) == 0 ]]; then chown postfix "$dir/pfdata"; fi
printf '%s %s/%s/\n' "$user" "$domain" "$name" >"$pf/vmailbox"
cat >"$pf/main.cf" <<CONF
compatibility_level = 3.6
queue_directory = $dir/queue
data_directory = $dir/pfdata
mail_owner = postfix
setgid_group = postdrop
myhostname = mail.$domain
mydomain = $domain
mydestination =
inet_interfaces = 127.0.0.1
inet_protocols = ipv4
mynetworks = 127.0.0.0/8
maillog_file = /dev/stdout
smtputf8_enable = no
biff = no
local_transport = error:no local delivery
relayhost =
default_transport = error:no outside delivery
virtual_mailbox_domains = $domain
virtual_mailbox_base = $dir/mail
virtual_mailbox_maps = texthash:$pf/vmailbox
virtual_minimum_uid = 1
virtual_uid_maps = static:$mail_uid
virtual_gid_maps = static:$mail_gid
message_size_limit = 10240000
smtpd_tls_cert_file = $tls/server.pem
smtpd_tls_key_file = $tls/server.key
smtpd_tls_security_level = may
smtpd_tls_auth_only = yes
smtpd_sasl_type = dovecot
smtpd_sasl_path = $dc/run/auth-postfix
smtpd_sasl_auth_enable = yes
smtpd_relay_restrictions = permit_mynetworks permit_sasl_authenticated reject_unauth_destination
CONF
cat >"$pf/master.cf" <<CONF
127.0.0.1:$smtp inet n - n - - smtpd
127.0.0.1:$submission inet n - n - - smtpd
  -o smtpd_tls_security_level=encrypt
  -o smtpd_client_restrictions=permit_sasl_authenticated,reject
  -o smtpd_relay_restrictions=permit_sasl_authenticated,reject
127.0.0.1:$smtps inet n - n - - smtpd
  -o smtpd_tls_wrappermode=yes
pickup unix n - n 60 1 pickup
cleanup unix n - n - 0 cleanup
qmgr unix n - n 300 1 qmgr
tlsmgr unix - - n 1000? 1 tlsmgr
rewrite unix - - n - - trivial-rewrite
bounce unix - - n - 0 bounce
defer unix - - n - 0 bounce
trace unix - - n - 0 bounce
verify unix - - n - 1 verify
flush unix n - n 1000? 0 flush
proxymap unix - - n - - proxymap
showq unix n - n - - showq
error unix - - n - - error
retry unix - - n - - error
discard unix - - n - - discard
virtual unix - n n - - virtual
anvil unix - - n - 1 anvil
scache unix - - n - 1 scache
postlog unix-dgram n - n - 1 postlogd
CONF
