#!/bin/sh
# Regenerates every Sinhala/Tamil asset from tools/layout.py, in order:
# the fonts, the key table, the code-page list (and tools/letters.tsv for the
# asset tests), then the keyboard pictures.
# Needs Debian's python3-fontforge, libharfbuzz-bin, fonts-noto-core,
# imagemagick and the Qt 6 development files.
set -e
here=$(cd "$(dirname "$0")" && pwd)
/usr/bin/python3 "$here/build_fonts.py"
/usr/bin/python3 "$here/make_table.py"
/usr/bin/python3 "$here/make_codepages.py"
"$here/make_keyboards.sh"
