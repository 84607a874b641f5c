#!/usr/bin/env python3
"""Writes assets/neltex.csv from tools/layout.py: one record per key code,
"key,phonetic Sinhala,Wijesekara Sinhala,phonetic Tamil"."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import layout  # noqa: E402


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "assets", "neltex.csv")
    rows = layout.table_rows()
    with open(path, "w", newline="") as out:
        for key in sorted(rows):
            out.write("%d,%d,%d,%d\r\n" % ((key,) + rows[key]))
    print("wrote", path, len(rows), "records")


if __name__ == "__main__":
    main()
