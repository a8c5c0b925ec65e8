#!/usr/bin/env python3
"""Draws the app icon of each edition bundle (app/bundles/<edition>/AppIcon60x60.png at 60 x 60 pixels
and AppIcon60x60@2x.png at 120 x 120), the files the Info.plist "CFBundleIcons" entry names.

The icon is the edition's colour with a lighter rounded badge and a chevron, drawn pixel by pixel so
the script needs nothing but the Python standard library. Rerun it after changing a colour; the PNGs
are committed.
"""
import os
import struct
import sys
import zlib

EDITIONS = {
    "Swift": (240, 81, 56),
    "Cpp": (0, 89, 156),
    "SwiftUI": (22, 130, 230),
    "ZovudERO": (102, 45, 145),
}


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def draw(size, colour):
    light = tuple(min(255, c + (255 - c) * 3 // 5) for c in colour)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            u, v = (x + 0.5) / size, (y + 0.5) / size
            pixel = colour
            # A chevron "<" like the start of a tag, in the badge colour.
            if abs(v - 0.5) < 0.3 and abs((u - 0.3) - abs(v - 0.5)) < 0.07:
                pixel = light
            # An underscore cursor after it.
            if 0.55 < u < 0.8 and 0.72 < v < 0.8:
                pixel = light
            row.extend(pixel + (255,))
        rows.append(row)
    return rows


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app", "bundles")
    for edition, colour in EDITIONS.items():
        for name, size in (("AppIcon60x60.png", 60), ("AppIcon60x60@2x.png", 120)):
            path = os.path.join(root, edition, name)
            with open(path, "wb") as out:
                out.write(png(size, size, draw(size, colour)))
            print("wrote", os.path.relpath(path), file=sys.stderr)


if __name__ == "__main__":
    main()
