#!/usr/bin/python3
"""Builds the two 8-bit display fonts from Noto Sans Sinhala and Noto Sans
Tamil (SIL Open Font License 1.1, Debian package fonts-noto-core).

Every code of a code page (tools/layout.py) becomes one glyph at U+00xx made
of the glyphs that HarfBuzz (hb-shape, Debian libharfbuzz-bin) picks for the
piece's Unicode text, so conjuncts and ligatures come out as the source font
draws them. The result has no layout tables: one code, one glyph.

Run with Debian's python3 (it carries the fontforge module):
    /usr/bin/python3 tools/build_fonts.py [output folder]
"""
import json
import os
import subprocess
import sys

import fontforge
import psMat

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import layout  # noqa: E402

NOTO = "/usr/share/fonts/truetype/noto/"
LATIN_SOURCE = NOTO + "NotoSans-Regular.ttf"

FONTS = [
    dict(source=NOTO + "NotoSansSinhala-Regular.ttf", page=layout.nelira_codepage(),
         family="Nelira98", file="nelira98.ttf", script="Sinhala", sign_only=set()),
    dict(source=NOTO + "NotoSansTamil-Regular.ttf", page=layout.velan_codepage(),
         family="Velan_nm", file="velanamv.ttf", script="Tamil",
         sign_only={ord(k) for k in layout.VELAN_SIGN_ONLY}),
]


def shape(font_path, text):
    out = subprocess.run(["hb-shape", "--output-format=json", font_path, text],
                         check=True, capture_output=True, text=True).stdout
    return json.loads(out)


def pieces_for(font_path, text, code, sign_only):
    """[(glyph name, x, y)] and the advance of the piece."""
    glyphs = shape(font_path, text)
    keep_circle = text == layout.DOTTED_CIRCLE
    if code in sign_only:
        glyphs = glyphs[1:]
    parts, pen = [], 0
    for g in glyphs:
        if g["g"] == "uni25CC" and not keep_circle:
            continue
        if g["g"] == ".notdef":
            return None, 0
        parts.append((g["g"], pen + g["dx"], g["dy"]))
        pen += g["ax"]
    return parts, pen


def build(recipe, out_dir):
    src = recipe["source"]
    font = fontforge.open(src)
    latin = fontforge.open(LATIN_SOURCE)
    for g in font.glyphs():
        if 0x21 <= g.unicode <= 0xFF:
            g.unicode = -1
        g.altuni = None

    made = []
    for code in sorted(recipe["page"]):
        piece = recipe["page"][code]
        text = chr(code) if piece == layout.LATIN else piece
        parts, advance = pieces_for(src, text, code, recipe["sign_only"])
        name = "cp%03d" % code
        glyph = font.createChar(code, name)
        glyph.clear()
        if parts is None:  # punctuation the source font lacks: Noto Sans
            lat_name = latin[ord(text)].glyphname
            latin.selection.select(lat_name)
            latin.copy()
            font.selection.select(name)
            font.paste()
            glyph = font[name]
            glyph.unicode = code
        else:
            for gname, x, y in parts:
                glyph.addReference(gname, psMat.translate(x, y))
            glyph.width = advance
        made.append(name)

    for name in made:
        g = font[name]
        while g.references:
            g.unlinkRef()
        g.removeOverlap()
        g.correctDirection()
        g.round()

    keep = set(made) | {".notdef", "space", "uni00A0"}
    for g in list(font.glyphs()):
        if g.glyphname not in keep and g.unicode != 0x20:
            font.removeGlyph(g)
    for lookup in list(font.gsub_lookups) + list(font.gpos_lookups):
        font.removeLookup(lookup)

    family = recipe["family"]
    source_name = font.familyname
    font.fontname = family
    font.familyname = family
    font.fullname = family
    font.version = "1.0"
    notice = ("Copyright 2016 Google Inc. All Rights Reserved. "
              "%s is an 8-bit %s display font derived from %s; it is licensed "
              "under the SIL Open Font License, Version 1.1." % (family, recipe["script"], source_name))
    font.copyright = notice
    names = []
    for lang, key, value in font.sfnt_names:
        if key in ("Trademark", "UniqueID", "Fullname", "Family", "PostScriptName",
                   "Version", "Descriptor", "Copyright", "Preferred Family"):
            continue
        names.append((lang, key, value))
    font.sfnt_names = tuple(names)
    font.appendSFNTName("English (US)", "Family", family)
    font.appendSFNTName("English (US)", "SubFamily", "Regular")
    font.appendSFNTName("English (US)", "Fullname", family)
    font.appendSFNTName("English (US)", "PostScriptName", family)
    font.appendSFNTName("English (US)", "UniqueID", "1.0;%s" % family)
    font.appendSFNTName("English (US)", "Version", "Version 1.0")
    font.appendSFNTName("English (US)", "Copyright", notice)
    font.appendSFNTName("English (US)", "Descriptor",
                        "Character codes 33 to 255 carry %s glyph pieces in visual order." % recipe["script"])
    font.os2_vendor = "TOVL"
    path = os.path.join(out_dir, recipe["file"])
    font.generate(path, flags=("omit-instructions", "opentype"))
    print("wrote", path, len(made), "codes")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "assets", "fonts")
    os.makedirs(out_dir, exist_ok=True)
    for recipe in FONTS:
        build(recipe, out_dir)


if __name__ == "__main__":
    main()
