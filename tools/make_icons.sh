#!/usr/bin/env bash
# Copies the toolbar icons from Debian's tango-icon-theme (public domain)
# into assets/icons under the names the main window loads.
set -euo pipefail
src=/usr/share/icons/Tango/32x32/actions
dst="$(dirname "$0")/../assets/icons"
mkdir -p "$dst"
cp "$src/mail-send-receive.png" "$dst/getmail.png"
cp "$src/mail-reply-sender.png" "$dst/reply.png"
cp "$src/mail-message-new.png" "$dst/new.png"
cp "$src/mail-forward.png" "$dst/forward.png"
cp "$src/edit-delete.png" "$dst/delete.png"
cp "$src/go-jump.png" "$dst/move.png"
