#!/usr/bin/python3
"""Writes the small TrueType fonts the beta-token tests read through fontconfig and FreeType.

Each font is named "Zevuzavidav" (the name the SDK asks the font service for) and carries a 'CRSH'
table of the given bytes. Run from the repository root; needs Debian's python3-fonttools.

    tools/generate-beta-font-fixtures.py
"""
import struct
from pathlib import Path

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib.tables.DefaultTable import DefaultTable

OUT = Path("tests/sdk/zevuzavidav/fixtures/fonts")


def crsh(version, length, token):
    return struct.pack(">II", version, length) + token


FIXTURES = {
    # A well-formed table: version 1, five ASCII bytes.
    "beta-token.ttf": crsh(1, 5, b"ABCDE"),
    # A length that wraps a 32-bit `8 + N` back into the table.
    "beta-token-wrapping-length.ttf": crsh(1, 0xFFFFFFFC, b"ABCDE"),
}


def build(path, table):
    fb = FontBuilder(unitsPerEm=1000, isTTF=True)
    fb.setupGlyphOrder([".notdef"])
    fb.setupCharacterMap({})
    pen = TTGlyphPen(None)
    fb.setupGlyf({".notdef": pen.glyph()})
    fb.setupHorizontalMetrics({".notdef": (500, 0)})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({"familyName": "Zevuzavidav", "styleName": "Regular"})
    fb.setupOS2()
    fb.setupPost()
    extra = DefaultTable("CRSH")
    extra.data = table
    fb.font["CRSH"] = extra
    fb.save(str(path))


if __name__ == "__main__":
    OUT.mkdir(parents=True, exist_ok=True)
    for name, table in FIXTURES.items():
        build(OUT / name, table)
        print(OUT / name)
