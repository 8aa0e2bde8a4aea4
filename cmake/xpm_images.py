#!/usr/bin/env python3
"""Renders an XPM image as PNG files at whole multiples of its size (each pixel a square
block).

    xpm_images.py IMAGE.xpm [--png SIZE FILE]...

SIZE is the width of the PNG in pixels, a multiple of the image's width. The output depends on
the image alone, so a rebuild gives the same bytes."""

import argparse
import re
import struct
import sys
import zlib


def read_xpm(path):
    """The image's width, height and rows of pixels, each an (r, g, b, a) tuple."""
    with open(path, encoding="latin-1") as f:
        strings = re.findall(r'"((?:[^"\\]|\\.)*)"', f.read())
    width, height, ncolors, cpp = (int(v) for v in strings[0].split()[:4])
    colors = {}
    for line in strings[1:1 + ncolors]:
        key, words = line[:cpp], line[cpp:].split()
        # Pairs of a context and a colour; the colour context "c" is the one used.
        spec = next(words[i + 1] for i in range(0, len(words) - 1, 2) if words[i] == "c")
        colors[key] = parse_color(spec)
    rows = []
    for line in strings[1 + ncolors:1 + ncolors + height]:
        rows.append([colors[line[x * cpp:(x + 1) * cpp]] for x in range(width)])
    if len(rows) != height or any(len(r) != width for r in rows):
        sys.exit(f"{path}: the pixels do not fill {width}x{height}")
    return width, height, rows


def parse_color(spec):
    if spec.lower() == "none":
        return (0, 0, 0, 0)
    if not spec.startswith("#") or len(spec) not in (4, 7, 13):
        sys.exit(f"unsupported colour {spec!r}: write it as #RGB, #RRGGBB or #RRRRGGGGBBBB")
    digits = (len(spec) - 1) // 3
    channels = [int(spec[1 + i * digits:1 + (i + 1) * digits], 16) for i in range(3)]
    top = 16**digits - 1
    return tuple(round(c * 255 / top) for c in channels) + (255,)


def png(width, height, rows, size):
    if size % width or size * height % width:
        sys.exit(f"{size} is not a multiple of the image's width {width}")
    scale = size // width
    raw = bytearray()
    for row in rows:
        line = bytearray(b"\0")  # no filter
        for pixel in row:
            line += bytes(pixel) * scale
        raw += line * scale

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", size, height * scale, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("image")
    parser.add_argument("--png", nargs=2, action="append", default=[], metavar=("SIZE", "FILE"))
    args = parser.parse_args()
    width, height, rows = read_xpm(args.image)
    outputs = [(f, png(width, height, rows, int(s))) for s, f in args.png]
    for name, data in outputs:
        with open(name, "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
