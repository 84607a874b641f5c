#!/usr/bin/env bash
# Installs the Debian packages the program needs to build and run.
# --tests: also the servers and fonts the test suite uses and the tools
# that check the installed files and the Debian package; --demo: the local
# servers of the demo; --bench: the tools the benchmarks compare with and
# the fuzzer needs.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins
          libqt6printsupport6 libgmime-3.0-dev libssl-dev libxcb1-dev fonts-dejavu-core
          qtkeychain-qt6-dev libsecret-1-0)
if [[ "${1:-}" == "--tests" || "${1:-}" == "--demo" || "${1:-}" == "--bench" ]]; then
  packages+=(dovecot-core dovecot-pop3d postfix openssl python3)
fi
if [[ "${1:-}" == "--bench" ]]; then
  packages+=(mpop fetchmail msmtp bc clang libclang-rt-14-dev)
fi
if [[ "${1:-}" == "--tests" ]]; then
  # The font checks compare our glyphs with the Noto fonts they come from.
  packages+=(fonts-noto-core)
  packages+=(desktop-file-utils appstream man-db dpkg-dev file)
  # The keyring tests run gnome-keyring-daemon on a private session bus.
  packages+=(gnome-keyring dbus)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
