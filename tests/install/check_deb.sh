#!/usr/bin/env bash
# Builds the Debian package from the build folder and checks what it holds
# and what it depends on.
#   check_deb.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/keep_manifest.sh" "$1" tovel-deb

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/tovelmail_*.deb)
[[ -f ${debs[0]} ]] || fail "no tovelmail_*.deb in $(ls "$work")"
deb=${debs[0]}
echo "built $(basename "$deb"), $(stat -c %s "$deb") bytes"

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for file in ./usr/bin/tovelmail ./usr/bin/tovelmail-demo ./usr/share/applications/tovelmail.desktop \
            ./usr/share/icons/hicolor/48x48/apps/tovelmail.png ./usr/share/icons/hicolor/scalable/apps/tovelmail.svg \
            ./usr/share/fonts/truetype/tovelmail/nelira98.ttf ./usr/share/fonts/truetype/tovelmail/velanamv.ttf \
            ./usr/share/tovelmail/neltex.csv ./usr/share/tovelmail/fonts/nelira98.ttf \
            ./usr/share/metainfo/tovelmail.metainfo.xml ./usr/share/man/man1/tovelmail.1; do
  grep -qx -- "$file" <<<"$contents" || fail "$file missing from the package"
done
grep -q -e '/tests/' -e 'bench_' -e 'tst_' <<<"$contents" && fail "tests or benchmarks in the package"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6widgets6 libqt6network6 libgmime-3.0 libqt6keychain1; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib"
done
# QtKeychain opens libsecret at run time, so no library dependency names it.
dpkg-deb -f "$deb" Recommends | grep -q libsecret-1-0 || fail "Recommends lacks libsecret-1-0"
echo "package check passed"
