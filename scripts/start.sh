#!/usr/bin/env bash
# Installs what the program needs, builds it, and starts it.
# --demo: a mailbox and settings of its own with local servers on 127.0.0.1.
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1:-}"
bash scripts/install-deps.sh "$mode"
bash scripts/build.sh
if [[ "$mode" == "--demo" ]]; then
  exec bash scripts/demo.sh
fi
exec build/bin/tovelmail
