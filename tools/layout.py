"""The code pages of the two display fonts and the key layouts built on them.

This module is the single source for tools/build_fonts.py (the fonts),
tools/make_table.py (neltex.csv), tools/make_codepages.py (docs/codepages.md)
and tools/make_keyboards.py (the keyboard pictures).

A font code (33..255, never 173) shows one glyph piece. Pieces are given as
Unicode text shaped with the source font; a lone vowel sign becomes a
zero-width or spacing piece in visual order (the e-signs are typed before
their consonant).
"""

SOFT_HYPHEN = 173

# Function-key sequences, index 0..10 (7 and 8 are empty), and the fixed first
# character of each button caption, per language.
SINHALA_SEQUENCES = [202, 210, 211, 212, 214, 220, 203, None, None, 213, 215]
TAMIL_SEQUENCES = [202, 210, 211, 212, 214, 220, 202, None, None, 213, 215]
SINHALA_CAPTION_FIRST = [154, 154, 154, 184, 184, 154, 184, None, None, 154, 154]
TAMIL_CAPTION_FIRST = [235, 235, 235, 235, 235, 244, 235, None, None, 249, 249]
FUNCTION_KEY_NAMES = ["F4", "F5", "F6", "F7", "F8", "F9", "F10 / Shift+F4", "F11", "F12",
                      "Shift+F7", "Shift+F8"]
FUNCTION_CODES = sorted({c for c in SINHALA_SEQUENCES + TAMIL_SEQUENCES if c})

DOTTED_CIRCLE = "\u25cc"
LATIN = "latin"  # the piece is the key's own ASCII character

# ----------------------------------------------------------------- Sinhala

SINHALA_CONSONANTS = [chr(c) for c in range(0x0D9A, 0x0DC7)
                      if c not in (0x0DB2, 0x0DBC, 0x0DBE, 0x0DBF)]
assert len(SINHALA_CONSONANTS) == 41

# Nelira98 on the keys: the Wijesekara typewriter layout (SLS 1134). The code
# a key sends shows the glyph printed on that key, so the typewriter column of
# the table is the identity.
NELIRA_KEYS = {
    "`": "\u0dca\u200d\u0dbb",  # rakaransaya
    "~": "\u0dbb\u0dca\u200d" + DOTTED_CIRCLE,  # repaya
    "q": "\u0dd4", "Q": "\u0dd6",
    "w": "අ", "W": "උ",
    "e": "\u0dd0", "E": "\u0dd1",
    "r": "ර", "R": "ඍ",
    "t": "එ", "T": "ඔ",
    "y": "හ", "Y": "ශ",
    "u": "ම", "U": "ඹ",
    "i": "ස", "I": "ෂ",
    "o": "ද", "O": "ධ",
    "p": "ච", "P": "ඡ",
    "[": "ඤ", "{": "ඥ",
    "]": ";", "}": ":",
    "\\": "ශ්\u200dරී", "|": "ක්\u200dෂ",
    "a": "\u0dca", "A": "\u0ddf",
    "s": "\u0dd2", "S": "\u0dd3",
    "d": "\u0dcf", "D": "\u0dd8",
    "f": "\u0dd9", "F": "ෆ",
    "g": "ට", "G": "ඨ",
    "h": "ය", "H": "\u0dca\u200dය",  # yansaya
    "j": "ව", "J": "ළු",
    "k": "න", "K": "ණ",
    "l": "ක", "L": "ඛ",
    ";": "ත", ":": "ථ",
    "'": ".", "\"": ",",
    "z": "'", "Z": "\"",
    "x": "\u0d82", "X": "ඞ",
    "c": "ජ", "C": "ඣ",
    "v": "ඩ", "V": "ඪ",
    "b": "ඉ", "B": "ඊ",
    "n": "බ", "N": "භ",
    "m": "ප", "M": "ඵ",
    ",": "ල", "<": "ළ",
    ".": "ග", ">": "ඝ",
}

NELIRA_HIGH = {
    128: "ආ", 129: "ඇ", 130: "ඈ", 131: "ඌ", 132: "ඎ", 133: "ඐ", 134: "ඒ",
    135: "ඓ", 136: "ඕ", 137: "ඖ",
    138: "\u0ddb",  # kombu deka
    139: "\u0dcf\u0dca",  # aela-pilla with al-lakuna (the tail of oo)
    154: DOTTED_CIRCLE, 184: DOTTED_CIRCLE,
    202: "ඟ", 210: "ඦ", 211: "ඬ", 212: "ඳ", 214: "\u0d83",
    220: "\u0df3", 203: "ඏ", 213: "\u0df2", 215: "\u0df4",
}


def _free_codes(taken):
    return [c for c in range(140, 256) if c not in taken and c != SOFT_HYPHEN]


# Consonant + u and consonant + uu, precomposed: a lone mark cannot take the
# shape these pairs have in print.
_free = _free_codes(set(NELIRA_HIGH))
for _i, _c in enumerate(SINHALA_CONSONANTS):
    NELIRA_HIGH[_free[2 * _i]] = _c + "\u0dd4"
    NELIRA_HIGH[_free[2 * _i + 1]] = _c + "\u0dd6"

# The phonetic Sinhala column: key -> the key of the Wijesekara layout (or a
# high code) whose glyph the key types.
SINHALA_PHONETIC = {
    "k": "l", "K": "L", "g": ".", "G": ">", "c": "p", "C": "P", "j": "c", "J": "C",
    "z": "[", "Z": "{", "N": "K", "X": 211, "t": ";", "T": ":", "d": "o", "D": "O",
    "n": "k", "x": 212, "p": "m", "P": "M", "b": "n", "B": "N", "m": "u", "M": "U",
    "y": "h", "r": "r", "l": ",", "v": "j", "S": "Y", "s": "i", "h": "y", "L": "<",
    "f": "F", "H": 214, "R": "`", "Y": "H",
    "a": "a", "A": "d", "w": "e", "W": "E", "i": "s", "I": "S", "u": "q", "U": "Q",
    "q": "D", "Q": 213, "e": "f", "E": "t", "o": "T", "O": 136, "F": "A", "V": "x",
    "`": "g", "~": "G", "[": "v", "{": "V", "]": "I", "}": "X", "\\": "w", "|": "~",
    "<": "b", ">": "B", ";": "W", ":": 131, "^": "R",
    ".": "'", ",": "\"", "'": "z", "\"": "Z",
}

# ------------------------------------------------------------------- Tamil

# Velan_nm on the keys: Tamil by sound. The key shows what it types, so the
# Tamil column of the table is the identity.
VELAN_KEYS = {
    "a": "அ", "A": "ஆ", "i": "இ", "I": "ஈ", "u": "உ", "U": "ஊ", "e": "எ", "E": "ஏ",
    "o": "ஒ", "O": "ஓ", "q": "\u0b83", "Q": "ஐ",
    "k": "க", "g": "ங", "c": "ச", "J": "ஞ", "d": "ட", "N": "ண", "t": "த", "w": "ந",
    "n": "ன", "p": "ப", "m": "ம", "y": "ய", "r": "ர", "R": "ற", "l": "ல", "L": "ள",
    "z": "ழ", "v": "வ", "j": "ஜ", "s": "ஷ", "S": "ஸ", "h": "ஹ", "Z": "ஶ", "X": "க்ஷ",
    "f": "\u0bbe", "b": "\u0bbf", "B": "\u0bc0", "D": "\u0bc6", "F": "\u0bc7",
    "C": "\u0bc8", "x": "\u0bcd",
    "H": "ஜ\u0bc1", "G": "ஜ\u0bc2",  # the separate u / uu signs of the grantha letters
    "K": "கு", "M": "மு", "P": "பு", "T": "து", "V": "வு", "W": "நு", "Y": "யு",
    "`": "ஞு", "~": "ஞூ", "[": "சு", "{": "சூ", "]": "டு", "}": "டூ",
    "\\": "ணு", "|": "ணூ", ";": "ரு", "/": "ரூ", "<": "லு", ">": "லூ",
    "=": "ளு", "+": "ளூ", "@": "ழு", "#": "ழூ", "$": "று", "%": "றூ",
    "^": "னு", "&": "னூ", "*": "ஙு", "_": "ஙூ",
}
# The grantha u-signs stand apart from their letter: keep only the sign.
VELAN_SIGN_ONLY = {"H", "G"}

VELAN_HIGH = {
    202: "கூ", 210: "தூ", 211: "நூ", 212: "பூ", 214: "மூ", 220: "யூ", 213: "வூ",
    215: "ஸ்ரீ", 203: "ஔ",
    235: DOTTED_CIRCLE, 244: DOTTED_CIRCLE, 249: DOTTED_CIRCLE,
}

PRINTABLE_KEYS = [chr(c) for c in range(33, 127)]


def nelira_codepage():
    """code -> Unicode text of the piece (LATIN: the ASCII character)."""
    page = {}
    for key in PRINTABLE_KEYS:
        page[ord(key)] = NELIRA_KEYS.get(key, LATIN)
    page.update(NELIRA_HIGH)
    return page


def velan_codepage():
    page = {}
    for key in PRINTABLE_KEYS:
        page[ord(key)] = VELAN_KEYS.get(key, LATIN)
    page.update(VELAN_HIGH)
    return page


def _code(target):
    return target if isinstance(target, int) else ord(target)


def table_rows():
    """key code -> (phonetic Sinhala, Wijesekara, Tamil) codes for neltex.csv."""
    rows = {}
    for key in PRINTABLE_KEYS:
        k = ord(key)
        rows[k] = (_code(SINHALA_PHONETIC.get(key, key)), k, k)
    # The codes the function keys send arrive as typed keys too.
    for code in FUNCTION_CODES:
        sinhala = code if code in SINHALA_SEQUENCES else 0
        tamil = code if code in TAMIL_SEQUENCES else 0
        rows[code] = (sinhala, sinhala, tamil)
    return rows


# ------------------------------------------------------- letters and spelling

# How each letter is written in the 8-bit code page: a sequence of codes in
# visual order. Used to check that every letter can be typed in its modes.
def _spell(page, text):
    inverse = {}
    for code, piece in sorted(page.items()):
        if piece != LATIN:
            inverse.setdefault(piece, code)
    return [inverse[p] for p in text]


def sinhala_letters():
    """letter -> list of Nelira98 codes that draw it (consonant ක carries signs)."""
    page = nelira_codepage()
    inv = {}
    for code, piece in sorted(page.items()):
        if piece != LATIN:
            inv.setdefault(piece, code)
    ka = inv["ක"]
    letters = {}
    for c in SINHALA_CONSONANTS:
        letters[c] = [inv[c]]
    simple = ["අ", "ඉ", "ඊ", "උ", "ඍ", "ඏ", "එ", "ඔ"]
    for v in simple:
        letters[v] = [inv[v]]
    a, u, ru, lu = inv["අ"], inv["උ"], inv["ඍ"], inv["ඏ"]
    e, o = inv["එ"], inv["ඔ"]
    aa, ae, aae = inv["\u0dcf"], inv["\u0dd0"], inv["\u0dd1"]
    hal, kombu, gaya = inv["\u0dca"], inv["\u0dd9"], inv["\u0ddf"]
    gaetta = inv["\u0dd8"]
    letters.update({
        "ආ": [a, aa], "ඇ": [a, ae], "ඈ": [a, aae], "ඌ": [u, gaya],
        "ඎ": [ru, gaetta], "ඐ": [lu, gaya], "ඒ": [e, hal], "ඓ": [kombu, e],
        "ඕ": [o, hal], "ඖ": [o, gaya],
        "\u0d82": [ka, inv["\u0d82"]], "\u0d83": [ka, inv["\u0d83"]],
        "\u0dca": [ka, hal], "\u0dcf": [ka, aa], "\u0dd0": [ka, ae], "\u0dd1": [ka, aae],
        "\u0dd2": [ka, inv["\u0dd2"]], "\u0dd3": [ka, inv["\u0dd3"]],
        "\u0dd4": [ka, inv["\u0dd4"]], "\u0dd6": [ka, inv["\u0dd6"]],
        "\u0dd8": [ka, gaetta], "\u0df2": [ka, inv["\u0df2"]],
        "\u0ddf": [ka, gaya], "\u0df3": [ka, inv["\u0df3"]],
        "\u0dd9": [kombu, ka], "\u0dda": [kombu, ka, hal], "\u0ddb": [kombu, kombu, ka],
        "\u0ddc": [kombu, ka, aa], "\u0ddd": [kombu, ka, aa, hal],
        "\u0dde": [kombu, ka, gaya],
    })
    return letters


def tamil_letters():
    page = velan_codepage()
    inv = {}
    for code, piece in sorted(page.items()):
        if piece != LATIN:
            inv.setdefault(piece, code)
    ka = inv["க"]
    letters = {}
    for v in ["அ", "ஆ", "இ", "ஈ", "உ", "ஊ", "எ", "ஏ", "ஐ", "ஒ", "ஓ", "\u0b83"]:
        letters[v] = [inv[v]]
    letters["ஔ"] = [inv["ஒ"], inv["ள"]]
    for c in "கஙசஞடணதநபமயரலவழளறனஜஷஸஹ":
        letters[c] = [inv[c]]
    for sign in "\u0bbe\u0bbf\u0bc0\u0bcd":
        letters[sign] = [ka, inv[sign]]
    for sign in "\u0bc6\u0bc7\u0bc8":
        letters[sign] = [inv[sign], ka]
    letters["\u0bca"] = [inv["\u0bc6"], ka, inv["\u0bbe"]]
    letters["\u0bcb"] = [inv["\u0bc7"], ka, inv["\u0bbe"]]
    letters["\u0bcc"] = [inv["\u0bc6"], ka, inv["ள"]]
    # u and uu: every consonant's own form
    for c in "கஙசஞடணதநபமயரலவழளறன":
        letters[c + "\u0bc1"] = [inv[c + "\u0bc1"]]
        letters[c + "\u0bc2"] = [inv[c + "\u0bc2"]]
    letters["ஜ\u0bc1"] = [inv["ஜ"], ord("H")]
    letters["ஜ\u0bc2"] = [inv["ஜ"], ord("G")]
    return letters
