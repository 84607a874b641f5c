#!/usr/bin/env python3
"""Trains the script detector and writes its labelled held-out samples.

    python3 tools/train_script_detector.py build/bin/tovelmail

Reads only freely licensed text that Debian installs:
  Sinhala words   /usr/share/hunspell/si_LK.dic              (hunspell-si)
  Tamil words     aspell -d ta dump master                    (aspell-ta)
  English words   /usr/share/dict/words                       (wamerican)
  sentences       /usr/share/locale/*/LC_MESSAGES/*.mo: the English message
                  ids and their Sinhala, Tamil and European translations
  English prose   /usr/share/common-licenses/*
Sinhala and Tamil become font codes through `tovelmail --from-unicode`.

Every text goes by a stable hash into training (8/10), validation (1/10,
used here to set the decision margins) or test (1/10, written to
tests/data/script_heldout.tsv for the accuracy test; never trained on).

Writes src/language/scriptmodel.cpp: per class (Latin, Sinhala font codes,
Tamil font codes) a character trigram model with interpolated Witten-Bell
smoothing over a 102-symbol alphabet, quantised to 1/16 nat, zlib-packed
and base64-encoded.
"""
import base64
import binascii
import collections
import glob
import gettext
import math
import os
import random
import re
import struct
import subprocess
import sys
import unicodedata
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LATIN, SINHALA, TAMIL = 0, 1, 2
CLASS_LABELS = ["latin", "sinhala-font", "tamil-font"]

# ---------------------------------------------------------------- alphabet

BOUNDARY, DIGIT = 0, 1
HIGH_GROUP = 8  # bytes 128..255 in groups of 8


def symbol_of(byte):
    if byte <= 32 or byte == 127:
        return BOUNDARY
    if 48 <= byte <= 57:
        return DIGIT
    if byte < 127:
        return 2 + byte - 33 - (10 if byte > 57 else 0)
    return 86 + (byte - 128) // HIGH_GROUP


ALPHABET = 86 + 128 // HIGH_GROUP
SYMBOLS = [symbol_of(b) for b in range(256)]


def symbols(data):
    """The symbol sequence of bytes, as the detector reads it: one boundary
    for each run of blanks and controls, one digit for each run of digits,
    a boundary before and after."""
    out = [BOUNDARY, BOUNDARY]
    for b in data:
        s = SYMBOLS[b]
        if s in (BOUNDARY, DIGIT) and out[-1] == s:
            continue
        out.append(s)
    if out[-1] != BOUNDARY:
        out.append(BOUNDARY)
    return out

# ----------------------------------------------------------------- sources


def bucket(text):
    return zlib.crc32(text.encode("utf-8")) % 10  # 0 test, 1 validation


def catalogs(lang):
    """(English id, translation) pairs of every message catalogue."""
    pairs = []
    for path in sorted(glob.glob(f"/usr/share/locale/{lang}/LC_MESSAGES/*.mo")):
        if os.path.islink(path):
            continue
        try:
            with open(path, "rb") as f:
                catalog = gettext.GNUTranslations(f)._catalog
        except Exception:
            continue
        for key, value in catalog.items():
            key = key[0] if isinstance(key, tuple) else key
            if key and value:
                pairs.append((key, value))
    return pairs


def clean_message(text):
    text = re.sub(r"%[-#0-9.]*[a-zA-Z]|\$\{?\w+\}?|<[^>]*>|&\w+;|\\[nt]", " ", text)
    text = text.replace("_", "")
    return " ".join(text.split())


def script_only(text, first):
    """The words of a translation written in the script whose block starts
    at first, without the Latin words and markup around them."""
    keep = []
    for word in clean_message(text).split():
        if any(first <= ord(c) < first + 0x80 for c in word) and not re.search(r"[A-Za-z0-9%]", word):
            keep.append(word.strip("\"'()[]{}<>"))
    return " ".join(w for w in keep if w)


def sinhala_words():
    with open("/usr/share/hunspell/si_LK.dic", encoding="utf-8") as f:
        lines = f.read().split("\n")[1:]
    return [w.split("/")[0].strip() for w in lines if w.strip()]


def tamil_words():
    out = subprocess.run(["aspell", "-d", "ta", "dump", "master"], capture_output=True, text=True, check=True)
    return [w.split("/")[0].strip() for w in out.stdout.split("\n") if w.strip()]


def english_words():
    with open("/usr/share/dict/words", encoding="utf-8") as f:
        return [w.strip() for w in f if w.strip() and not w.strip().endswith("'s")]


def licence_sentences():
    sentences = []
    for path in sorted(glob.glob("/usr/share/common-licenses/*")):
        if os.path.islink(path) or os.path.isdir(path):
            continue
        with open(path, encoding="utf-8", errors="replace") as f:
            text = " ".join(f.read().split())
        sentences += [s.strip() for s in re.split(r"(?<=[.;:])\s+", text) if len(s.split()) >= 3]
    return sentences


# Translations in other languages, with the 8-bit charsets mail in them
# comes in; they are Latin for the detector (shown in the normal font).
EUROPEAN = {
    "de": ["iso-8859-1", "cp1252"], "fr": ["iso-8859-1", "cp1252"], "es": ["iso-8859-1", "cp1252"],
    "it": ["iso-8859-1", "cp1252"], "pt": ["iso-8859-1", "cp1252"], "nl": ["cp1252"],
    "sv": ["iso-8859-1"], "da": ["iso-8859-1"], "fi": ["iso-8859-15"], "pl": ["iso-8859-2", "cp1250"],
    "cs": ["iso-8859-2", "cp1250"], "hu": ["iso-8859-2"], "tr": ["iso-8859-9", "cp1254"],
    "ro": ["iso-8859-2", "cp1250"], "hr": ["cp1250"], "sk": ["iso-8859-2"], "id": ["ascii"],
    "ru": ["koi8-r", "cp1251", "iso-8859-5"], "uk": ["koi8-u", "cp1251"], "bg": ["cp1251"],
    "el": ["iso-8859-7", "cp1253"],
}


def european_lines(per_language=1500):
    rng = random.Random(7)
    lines = []
    for lang, charsets in EUROPEAN.items():
        pairs = catalogs(lang)
        rng.shuffle(pairs)
        taken = 0
        for _, value in pairs:
            text = clean_message(value)
            charset = charsets[taken % len(charsets)]
            try:
                text.encode(charset)
            except (UnicodeEncodeError, LookupError):
                continue
            if text and taken < per_language:
                lines.append((charset, text))
                taken += 1
    return lines

# -------------------------------------------------- romanised names, headers

SINHALA_LATIN = {
    "ක": "k", "ඛ": "kh", "ග": "g", "ඝ": "gh", "ඞ": "n", "ඟ": "ng", "ච": "ch", "ඡ": "ch", "ජ": "j", "ඣ": "jh",
    "ඤ": "ny", "ඥ": "gn", "ට": "t", "ඨ": "th", "ඩ": "d", "ඪ": "dh", "ණ": "n", "ඬ": "nd", "ත": "th", "ථ": "th",
    "ද": "d", "ධ": "dh", "න": "n", "ඳ": "nd", "ප": "p", "ඵ": "ph", "බ": "b", "භ": "bh", "ම": "m", "ඹ": "mb",
    "ය": "y", "ර": "r", "ල": "l", "ව": "w", "ශ": "sh", "ෂ": "sh", "ස": "s", "හ": "h", "ළ": "l", "ෆ": "f",
}
SINHALA_VOWELS = {
    "අ": "a", "ආ": "aa", "ඇ": "a", "ඈ": "a", "ඉ": "i", "ඊ": "ee", "උ": "u", "ඌ": "oo", "ඍ": "ru", "එ": "e",
    "ඒ": "e", "ඓ": "ai", "ඔ": "o", "ඕ": "o", "ඖ": "au",
    "ා": "a", "ැ": "a", "ෑ": "a", "ි": "i", "ී": "ee", "ු": "u", "ූ": "oo", "ෘ": "ru", "ෙ": "e", "ේ": "e",
    "ෛ": "ai", "ො": "o", "ෝ": "o", "ෞ": "au", "ෟ": "lu", "ං": "n", "ඃ": "h",
}
TAMIL_LATIN = {
    "க": "k", "ங": "ng", "ச": "s", "ஞ": "nj", "ட": "d", "ண": "n", "த": "th", "ந": "n", "ப": "p", "ம": "m",
    "ய": "y", "ர": "r", "ல": "l", "வ": "v", "ழ": "zh", "ள": "l", "ற": "r", "ன": "n", "ஜ": "j", "ஷ": "sh",
    "ஸ": "s", "ஹ": "h", "ஶ": "sh",
}
TAMIL_VOWELS = {
    "அ": "a", "ஆ": "aa", "இ": "i", "ஈ": "ee", "உ": "u", "ஊ": "oo", "எ": "e", "ஏ": "e", "ஐ": "ai", "ஒ": "o",
    "ஓ": "o", "ஔ": "au", "ா": "a", "ி": "i", "ீ": "ee", "ு": "u", "ூ": "oo", "ெ": "e", "ே": "e", "ை": "ai",
    "ொ": "o", "ோ": "o", "ௌ": "au", "ஃ": "h",
}


def romanise(word):
    """A Sinhala or Tamil word as names are spelled in Latin letters."""
    out = []
    pending = False  # a consonant waiting for its vowel
    for c in unicodedata.normalize("NFC", word):
        consonant = SINHALA_LATIN.get(c) or TAMIL_LATIN.get(c)
        vowel = SINHALA_VOWELS.get(c) or TAMIL_VOWELS.get(c)
        if consonant:
            if pending:
                out.append("a")
            out.append(consonant)
            pending = True
        elif vowel:
            out.append(vowel)
            pending = False
        elif c in "\u0dca\u0bcd":
            pending = False
    if pending:
        out.append("a")
    return "".join(out)


FIRST = ["Nimal", "Kamal", "Sunil", "Anil", "Saman", "Ruwan", "Chaminda", "Dilani", "Nadeesha", "Sanduni",
         "Priya", "Lakshman", "Kumar", "Ravi", "Sita", "Geetha", "Arun", "Malathi", "Thusitha", "Ishara",
         "John", "Mary", "David", "Sarah", "Michael", "Emma", "James", "Anna", "Peter", "Laura", "Mark"]
SUBJECTS = ["Re: ", "RE: ", "Fwd: ", "FW: ", "Fw: ", "", "", ""]
DAYS = ["Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"]
MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]
ZONES = ["+0530", "+0000", "-0500", "+0100", "GMT", "+0800", "-0800", "UTC"]
EXTENSIONS = ["pdf", "doc", "docx", "xls", "xlsx", "ppt", "pptx", "jpg", "jpeg", "png", "gif", "zip", "rar", "txt",
              "csv", "mp3", "mp4", "htm", "html", "eml", "msg", "tif", "odt", "rtf"]
ABBREVIATIONS = ["thx", "thanks", "pls", "plz", "btw", "asap", "lol", "np", "ty", "brb", "imo", "cu", "tnx", "rgds",
                 "hth", "afaik", "aka", "etc", "eta", "tbd", "n/a", "ps", "cc", "bcc", "attn", "encl", "ref", "dept"]
DOMAINS = ["gmail.com", "yahoo.com", "hotmail.com", "sltnet.lk", "mail.example.org", "uni.ac.lk", "outlook.com"]


def header_texts(rng, names, phrases, count):
    """What English headers and short texts look like: dates, addresses,
    names, subjects, numbers."""
    out = []
    for _ in range(count):
        first = rng.choice(FIRST + names)
        last = rng.choice(names).capitalize()
        kind = rng.randrange(11)
        if kind == 0:
            out.append(f"{rng.choice(DAYS)}, {rng.randint(1, 31)} {rng.choice(MONTHS)} {rng.randint(1995, 2030)} "
                       f"{rng.randint(0, 23):02}:{rng.randint(0, 59):02}:{rng.randint(0, 59):02} {rng.choice(ZONES)}")
        elif kind == 1:
            fmt = rng.choice(["{d:02}/{m:02}/{y}", "{y}-{m:02}-{d:02}", "{d} {mn} {y}", "{mn} {d}, {y}",
                              "{d:02}.{m:02}.{y} {h:02}:{mi:02}", "{h}:{mi:02} {ap}"])
            out.append(fmt.format(d=rng.randint(1, 28), m=rng.randint(1, 12), y=rng.randint(1995, 2030),
                                  mn=rng.choice(MONTHS), h=rng.randint(1, 12), mi=rng.randint(0, 59),
                                  ap=rng.choice(["AM", "PM", "am", "pm"])))
        elif kind == 2:
            sep = rng.choice([".", "_", "", "-"])
            address = f"{first.lower()}{sep}{last.lower()}{rng.choice(['', str(rng.randint(1, 99))])}@{rng.choice(DOMAINS)}"
            out.append(rng.choice([address, f"{first} {last} <{address}>", f"\"{last}, {first}\" <{address}>"]))
        elif kind == 3:
            out.append(f"{first} {last}")
        elif kind == 4:
            out.append(rng.choice(SUBJECTS) + rng.choice(phrases))
        elif kind == 5:
            out.append(f"No. {rng.randint(1, 400)}, {rng.choice(names).capitalize()} {rng.choice(['Road', 'Mawatha', 'Street', 'Lane', 'Avenue'])}, "
                       f"{rng.choice(names).capitalize()} {rng.choice(['', str(rng.randint(1, 15)).zfill(2)])}")
        elif kind == 6:
            out.append(rng.choice([f"+94 {rng.randint(11, 91)} {rng.randint(100, 999)} {rng.randint(1000, 9999)}",
                                   f"Rs. {rng.randint(1, 99999):,}.00", f"{rng.randint(1, 100)}%",
                                   f"https://www.{rng.choice(names)}.lk/{rng.choice(names)}", f"Invoice #{rng.randint(1000, 99999)}"]))
        elif kind == 7:
            out.append(f"{first} {rng.choice(['', rng.choice('ABCDEFGHJKMNPRSTW') + '. '])}{last}")
        elif kind == 8:
            out.append(encoded_line(rng, rng.choice(phrases)))
        elif kind == 9:
            stem = rng.choice([rng.choice(names), rng.choice(["IMG", "DSC", "Scan", "report", "invoice", "CV", "photo"])])
            out.append(rng.choice([f"{stem}{rng.choice(['_', '-', ''])}{rng.randint(1, 9999)}.{rng.choice(EXTENSIONS)}",
                                   f"{stem}.{rng.choice(EXTENSIONS)}", rng.choice(EXTENSIONS), rng.choice(EXTENSIONS).upper(),
                                   rng.choice(ABBREVIATIONS), rng.choice(ABBREVIATIONS).upper()]))
        else:
            out.append(rng.choice(phrases).replace("'", "\u2019").replace(" - ", " \u2013 ") if rng.random() < 0.5
                       else "\u201c" + rng.choice(phrases) + "\u201d")
    return out

def encoded_line(rng, phrase):
    """A line of raw transfer encoding or an identifier, as a message's
    source shows it."""
    data = bytes(rng.randrange(256) for _ in range(rng.choice([57, 57, 45, 12, 30])))
    kind = rng.randrange(6)
    if kind == 0:
        return base64.b64encode(data).decode()
    if kind == 1:
        return base64.b64encode(phrase.encode("utf-8")).decode()
    if kind == 2:
        return "".join(c if c.isascii() and c != "=" else "".join(f"={b:02X}" for b in c.encode("utf-8"))
                       for c in phrase.replace(" ", rng.choice([" ", "_"])))
    if kind == 3:
        return binascii.b2a_uu(data[:45]).decode().rstrip("\n")
    if kind == 4:
        return data.hex()[:rng.choice([8, 32, 40, 64])]
    return f"<{data.hex()[:16]}.{rng.randint(1, 99999)}@{rng.choice(DOMAINS)}>"

# -------------------------------------------------------------- conversion


def to_font_codes(tovelmail, texts, script):
    """Font-code bytes of each text, or None where the font lacks a letter."""
    joined = "\n".join(texts) + "\n"
    out = subprocess.run([tovelmail, "--from-unicode", script], input=joined.encode("utf-8"), capture_output=True)
    lines = out.stdout.split(b"\n")[:-1]
    assert len(lines) == len(texts), "the converter changed the number of lines"
    return [None if b"?" in line and "?" not in text else line for line, text in zip(lines, texts)]

# ------------------------------------------------------------------- model

SCALE = 16  # quantisation steps per nat
MAX_Q = 255


class TrigramModel:
    def __init__(self):
        self.tri = collections.Counter()
        self.bi = collections.Counter()
        self.uni = collections.Counter()

    def add(self, data, weight=1):
        seq = symbols(data)
        for i in range(2, len(seq)):
            self.tri[(seq[i - 2], seq[i - 1], seq[i])] += weight
            self.bi[(seq[i - 1], seq[i])] += weight
            self.uni[seq[i]] += weight

    def finish(self):
        """Smoothed quantised tables: bigram -log P(c|b) and context
        backoffs dense, seen trigrams sparse."""
        total = sum(self.uni.values())
        p1 = [(self.uni[c] + 0.5) / (total + 0.5 * ALPHABET) for c in range(ALPHABET)]
        after_b = collections.Counter()
        types_b = collections.Counter()
        for (b, c), n in self.bi.items():
            after_b[b] += n
            types_b[b] += 1
        p2 = {}
        for b in range(ALPHABET):
            n, t = after_b[b], types_b[b]
            for c in range(ALPHABET):
                p2[(b, c)] = (self.bi[(b, c)] + t * p1[c]) / (n + t) if n else p1[c]
        after_ab = collections.Counter()
        types_ab = collections.Counter()
        for (a, b, c), n in self.tri.items():
            after_ab[(a, b)] += n
            types_ab[(a, b)] += 1
        self.bigram = [q(p2[(b, c)]) for b in range(ALPHABET) for c in range(ALPHABET)]
        self.backoff = [0] * (ALPHABET * ALPHABET)
        self.seen = collections.defaultdict(list)
        for (a, b), n in after_ab.items():
            t = types_ab[(a, b)]
            gamma = t / (n + t)
            self.backoff[a * ALPHABET + b] = q(gamma)
        for (a, b, c), count in self.tri.items():
            n, t = after_ab[(a, b)], types_ab[(a, b)]
            value = q((count + t * p2[(b, c)]) / (n + t))
            fallback = min(MAX_Q, self.backoff[a * ALPHABET + b] + self.bigram[b * ALPHABET + c])
            if value != fallback:
                self.seen[(a, b)].append((c, value))

    def cost(self, a, b, c):
        for cc, value in self.seen.get((a, b), ()):
            if cc == c:
                return value
        return min(MAX_Q, self.backoff[a * ALPHABET + b] + self.bigram[b * ALPHABET + c])

    def dense(self):
        table = [0] * (ALPHABET ** 3)
        for a in range(ALPHABET):
            for b in range(ALPHABET):
                base = (a * ALPHABET + b) * ALPHABET
                gamma = self.backoff[a * ALPHABET + b]
                for c in range(ALPHABET):
                    table[base + c] = min(MAX_Q, gamma + self.bigram[b * ALPHABET + c])
                for c, value in self.seen.get((a, b), ()):
                    table[base + c] = value
        return table

    def pack(self):
        out = bytearray(self.bigram) + bytearray(self.backoff)
        for a in range(ALPHABET):
            for b in range(ALPHABET):
                followers = sorted(self.seen.get((a, b), ()))
                out.append(len(followers))
                for c, value in followers:
                    out += bytes((c, value))
        return bytes(out)


def q(p):
    return min(MAX_Q, max(0, round(-math.log(p) * SCALE)))


class Detector:
    """The same decision the C++ detector makes, for tuning and checking."""

    def __init__(self, models, margins):
        self.tables = [m.dense() for m in models]
        self.margins = margins

    def scores(self, data):
        seq = symbols(data)
        totals = [0, 0, 0]
        for i in range(2, len(seq)):
            index = (seq[i - 2] * ALPHABET + seq[i - 1]) * ALPHABET + seq[i]
            for k in range(3):
                totals[k] += self.tables[k][index]
        return totals, len(seq) - 2

    def detect(self, data):
        if not re.search(rb"[A-Za-z\x80-\xff]", data):
            return LATIN
        (latin, sinhala, tamil), length = self.scores(data)
        best = SINHALA if sinhala <= tamil else TAMIL
        gain = (latin - min(sinhala, tamil)) / SCALE
        return best if gain > margin_for(self.margins, length) else LATIN


def margin_for(margins, length):
    """Nats a font class must win by: more for short texts, where a wrong
    font does most harm and the evidence is thinnest."""
    short, per_symbol_drop, floor = margins
    return max(floor, short - per_symbol_drop * length)

# ---------------------------------------------------------------- the data


def words_in(text):
    return len(text.split())


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: train_script_detector.py PATH/TO/tovelmail")
    tovelmail = sys.argv[1]
    rng = random.Random(2026)

    # Unicode texts per font class, with their bucket.
    si_pairs = catalogs("si")
    ta_pairs = catalogs("ta")
    unicode_texts = {
        SINHALA: sinhala_words() + [script_only(v, 0x0D80) for _, v in si_pairs],
        TAMIL: tamil_words() + [script_only(v, 0x0B80) for _, v in ta_pairs],
    }
    samples = {LATIN: [], SINHALA: [], TAMIL: []}  # (bucket, charset, unicode text, bytes)
    for cls, script in ((SINHALA, "sinhala"), (TAMIL, "tamil")):
        texts = sorted({t for t in unicode_texts[cls] if t})
        for text, codes in zip(texts, to_font_codes(tovelmail, texts, script)):
            if codes:
                samples[cls].append((bucket(text), "font", text, codes))

    english = english_words()
    msgids = sorted({clean_message(k) for lang in ("si", "ta", "de") for k, _ in catalogs(lang)} - {""})
    names = sorted({romanise(w).lower() for w in sinhala_words() + tamil_words()[:15000] if 3 <= len(romanise(w)) <= 12})
    latin_texts = [("ascii", w) for w in english] + [("ascii", m) for m in msgids]
    latin_texts += [("ascii", s) for s in licence_sentences()]
    latin_texts += european_lines()
    latin_texts += [("ascii", n.capitalize()) for n in names]
    phrases = [m for m in msgids if 1 <= words_in(m) <= 8]
    latin_texts += [("cp1252", h) for h in header_texts(rng, names, phrases, 30000)]
    latin_texts += [("utf-8", t) for c, t in european_lines(150) if c != "ascii"]
    for charset, text in latin_texts:
        try:
            data = text.encode(charset if charset != "ascii" else "cp1252")
        except UnicodeEncodeError:
            continue
        samples[LATIN].append((bucket(text), charset, text, data))

    models = [TrigramModel() for _ in range(3)]
    for cls in (LATIN, SINHALA, TAMIL):
        for b, _, _, data in samples[cls]:
            if b >= 2:
                models[cls].add(data)
    for m in models:
        m.finish()

    validation = {cls: [s for s in samples[cls] if s[0] == 1] for cls in samples}
    margins = tune(models, validation)
    detector = Detector(models, margins)
    report("validation", detector, validation)
    test = {cls: [s for s in samples[cls] if s[0] == 0] for cls in samples}
    chosen = choose_test_samples(test, rng)
    report("test", detector, chosen)
    write_model(models, margins)
    write_heldout(chosen)


def tune(models, validation):
    """The margins that keep every class on validation texts of one or two
    words at 96% or better, leaning to Latin as far as that allows."""
    detector = Detector(models, (0, 0, 0))
    rows = []
    for cls, items in validation.items():
        for _, _, text, data in items:
            (latin, sinhala, tamil), length = detector.scores(data)
            rows.append((cls, words_in(text) <= 2, (latin - min(sinhala, tamil)) / SCALE, length,
                         SINHALA if sinhala <= tamil else TAMIL, bool(re.search(rb"[A-Za-z\x80-\xff]", data))))
    best = None
    for short in [x / 2 for x in range(0, 41)]:
        for drop in (0, 0.1, 0.2, 0.3, 0.5):
            for floor in (0, 1, 2, 3):
                if floor > short:
                    continue
                right = collections.Counter()
                seen = collections.Counter()
                for cls, is_short, gain, length, fontcls, letters in rows:
                    guess = fontcls if letters and gain > max(floor, short - drop * length) else LATIN
                    seen[(cls, is_short)] += 1
                    right[(cls, is_short)] += guess == cls
                rates = {k: right[k] / seen[k] for k in seen}
                worst_font = min(rates[k] for k in rates if k[0] != LATIN)
                key = (min(worst_font, 0.96), rates[(LATIN, True)], rates[(LATIN, False)], worst_font)
                if best is None or key > best[0]:
                    best = (key, (short, drop, floor))
    print("margins (short, per symbol, floor):", best[1], file=sys.stderr)
    return best[1]


def report(title, detector, sets):
    print(f"{title}:", file=sys.stderr)
    for cls, items in sets.items():
        for is_short in (True, False):
            band = [s for s in items if (words_in(s[2]) <= 2) == is_short]
            if band:
                right = sum(detector.detect(s[3]) == cls for s in band)
                print(f"  {CLASS_LABELS[cls]:13} {'1-2' if is_short else '3+ '} words {right}/{len(band)} "
                      f"{100 * right / len(band):.2f}%", file=sys.stderr)


def choose_test_samples(test, rng, short=700, long=350):
    chosen = {}
    for cls, items in test.items():
        items = sorted(items, key=lambda s: s[2])
        rng.shuffle(items)
        singles = [s for s in items if words_in(s[2]) <= 2][:short]
        longer = [s for s in items if words_in(s[2]) >= 3]
        if cls != LATIN and len(longer) < long:  # make up with phrases of held-out words
            words = [s for s in singles if words_in(s[2]) == 1]
            while len(longer) < long:
                picked = rng.sample(words, rng.randint(3, 8))
                text = " ".join(s[2] for s in picked)
                longer.append((0, "font", text, b" ".join(s[3] for s in picked)))
        chosen[cls] = singles + longer[:long]
    return chosen


def write_heldout(chosen):
    path = os.path.join(ROOT, "tests/data/script_heldout.tsv")
    with open(path, "w", encoding="utf-8") as f:
        f.write("# Held-out texts for the script detector, written by tools/train_script_detector.py:\n"
                "# label, how the text becomes bytes (font: the converter; else a charset), text.\n")
        for cls, items in chosen.items():
            for _, charset, text, _ in items:
                if "\t" not in text and "\n" not in text:
                    f.write(f"{CLASS_LABELS[cls]}\t{charset_name(charset)}\t{text}\n")


def charset_name(charset):
    """The name the charset goes by in mail (and in ICU)."""
    return "windows-1252" if charset == "ascii" else re.sub(r"^cp(125\d)$", r"windows-\1", charset)


def write_model(models, margins):
    blob = struct.pack("<HHH", ALPHABET, HIGH_GROUP, SCALE)
    blob += struct.pack("<fff", *margins)
    for m in models:
        packed = m.pack()
        blob += struct.pack("<I", len(packed)) + packed
    packed = struct.pack(">I", len(blob)) + zlib.compress(blob, 9)  # qUncompress's layout
    text = base64.b64encode(packed).decode("ascii")
    chunks = [text[i:i + 12000] for i in range(0, len(text), 12000)]
    path = os.path.join(ROOT, "src/language/scriptmodel.cpp")
    with open(path, "w", encoding="ascii") as f:
        f.write("// Generated by tools/train_script_detector.py; do not edit by hand.\n"
                "#include \"language/scriptmodel.h\"\n\nnamespace {\n\nconst char* const kChunks[] = {\n")
        for chunk in chunks:
            f.write("    \"\"\n")
            for i in range(0, len(chunk), 100):
                f.write(f"    \"{chunk[i:i + 100]}\"\n")
            f.write("    ,\n")
        f.write("};\n\n}  // namespace\n\nQByteArray packedScriptModel() {\n  QByteArray base64;\n"
                "  for (const char* chunk : kChunks)\n    base64 += chunk;\n  return base64;\n}\n")
    print(f"model: {len(blob)} bytes, {len(packed)} packed, {path}", file=sys.stderr)


if __name__ == "__main__":
    main()
