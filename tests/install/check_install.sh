#!/usr/bin/env bash
# Installs the build into a temporary prefix and starts the installed program
# offscreen: it must find its table, fonts and pictures in share/tovelmail
# (nothing lies next to the installed executable), the desktop files must
# validate, and a missing asset must be reported, not passed over.
#   check_install.sh BUILD_DIR
set -euo pipefail
build=$1
source "$(dirname "$0")/keep_manifest.sh" "$1" tovel-install
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
share=$prefix/share
for file in bin/tovelmail bin/tovelmail-demo share/tovelmail/neltex.csv share/tovelmail/fonts/nelira98.ttf \
            share/tovelmail/demo/mailservers-setup.sh share/fonts/truetype/tovelmail/velanamv.ttf \
            share/applications/tovelmail.desktop share/icons/hicolor/48x48/apps/tovelmail.png \
            share/icons/hicolor/scalable/apps/tovelmail.svg share/metainfo/tovelmail.metainfo.xml \
            share/man/man1/tovelmail.1; do
  [[ -e $prefix/$file ]] || fail "$file not installed"
done
[[ -x $prefix/bin/tovelmail-demo ]] || fail "tovelmail-demo not executable"

desktop-file-validate "$share/applications/tovelmail.desktop" || fail "desktop file"
appstream=$(appstreamcli validate --no-net "$share/metainfo/tovelmail.metainfo.xml" 2>&1 || true)
grep -q '^E:' <<<"$appstream" && fail "metainfo: $appstream"
grep -q 'Network;Email;' "$share/applications/tovelmail.desktop" || fail "desktop categories"
man --warnings -l "$share/man/man1/tovelmail.1" 2>&1 >/dev/null | grep . && fail "man page warnings"

"$prefix/bin/tovelmail" --version | grep -q '^Tovel Mail 98 ' || fail "--version"
"$prefix/bin/tovelmail" --help | grep -q -- '--no-splash' || fail "--help"
status=0
"$prefix/bin/tovelmail" --bogus 2>/dev/null || status=$?
[[ $status == 2 ]] || fail "an unknown option gave status $status"

# A complete setup, so that no settings dialog is due.
export TOVELMAIL_ROOT=$work/Email/ TOVELMAIL_SETTINGS=$work/tovelmail.ini QT_QPA_PLATFORM=offscreen
python3 - "$TOVELMAIL_SETTINGS" <<'PY'
import sys
def enc(s): return "".join("%03d" % b for b in reversed(s.encode("latin-1")))
values = {"USEREMAIL": "me@example.test", "USERNAME": "Me", "POPHOST": "127.0.0.1:1",
          "POPUSER": "me", "POPDOOR": "secret", "SMTPHOST": "127.0.0.1:1"}
with open(sys.argv[1], "w") as f:
    f.write("[SOFTWARE]\n" + "".join("TOVELMAIL\\%s=%s\n" % (k, enc(v)) for k, v in values.items()))
PY

report=$(timeout 60 "$prefix/bin/tovelmail" --check) || fail "--check failed:"$'\n'"$report"
echo "$report"
grep -qx "data folder: $share/tovelmail" <<<"$report" || fail "data folder not share/tovelmail"
grep -q "^table: $share/tovelmail/neltex.csv ([1-9][0-9]* keys)" <<<"$report" || fail "table"
grep -qx "fonts: Nelira98, Velan_nm" <<<"$report" || fail "fonts"
grep -qx "font files: $share/tovelmail/fonts" <<<"$report" || fail "font files"
grep -q "^Sinhala keyboard: $share/tovelmail/Nelisin.gif ([1-9]" <<<"$report" || fail "Sinhala keyboard"
grep -q "^Tamil keyboard: $share/tovelmail/Velan.gif ([1-9]" <<<"$report" || fail "Tamil keyboard"
grep -qx "toolbar icons: 6 of 6" <<<"$report" || fail "toolbar icons"
[[ -d $work/Email/Inbox ]] || fail "the mailbox was not set up"

# Without the table and a keyboard picture the check says so and fails.
rm "$share/tovelmail/neltex.csv" "$share/tovelmail/Velan.gif"
status=0
report=$(timeout 60 "$prefix/bin/tovelmail" --check) || status=$?
[[ $status == 1 ]] || fail "--check without the table gave status $status"
grep -qx "missing: $share/tovelmail/neltex.csv" <<<"$report" || fail "missing table not named: $report"
grep -qx "missing: $share/tovelmail/Velan.gif" <<<"$report" || fail "missing picture not named"
grep -q "^message: Missing $share/tovelmail/neltex.csv" <<<"$report" || fail "the Missing message"
echo "install check passed"
