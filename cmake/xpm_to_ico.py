#!/usr/bin/env python3
"""Makes a Windows icon file from an XPM image, for the resources of Tolvane.exe.

    xpm_to_ico.py --sizes 16,32,48 [--png 32=FILE.png]... INPUT.xpm OUTPUT.ico

A size given as a PNG drawn for it (rendered from the vector drawing) takes that image.

Every size becomes one 32-bit image of the icon (BGRA colours with an alpha channel, and the
AND mask that older readers use), scaled from the XPM by nearest neighbour. The XPM's colours
are `c #RGB`, `c #RRGGBB` or `c #RRRRGGGGBBBB`, or `c None` for a transparent pixel; anything
else stops the conversion with a message rather than guess.
"""

import argparse
import os
import re
import struct
import sys
import zlib


class XpmError(Exception):
    pass


def _c_strings(text):
    """The string literals of the XPM's C array, in order, comments left out."""
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    strings = []
    for match in re.finditer(r'"((?:[^"\\]|\\.)*)"', text):
        strings.append(re.sub(r"\\(.)", r"\1", match.group(1)))
    return strings


def _parse_colour(value, key):
    if value.lower() == "none":
        return None
    match = re.fullmatch(r"#([0-9A-Fa-f]+)", value)
    if not match or len(match.group(1)) not in (3, 6, 12):
        raise XpmError(f"colour of {key!r}: {value!r} is neither None nor #RGB/#RRGGBB/#RRRRGGGGBBBB")
    digits = match.group(1)
    width = len(digits) // 3
    channels = [int(digits[i * width:(i + 1) * width], 16) for i in range(3)]
    # To 8 bits a channel: #RGB repeats its digit, #RRRRGGGGBBBB keeps the high byte.
    if width == 1:
        channels = [c * 17 for c in channels]
    elif width == 4:
        channels = [c >> 8 for c in channels]
    return tuple(channels) + (255,)


def read_xpm(path):
    """(width, height, rows): rows of (R, G, B, A) tuples, or None for transparent pixels."""
    with open(path, encoding="ascii") as source:
        strings = _c_strings(source.read())
    if not strings:
        raise XpmError("no image data")
    header = strings[0].split()
    if len(header) < 4:
        raise XpmError(f"header {strings[0]!r}: expected width, height, colours, characters a pixel")
    width, height, colours, per_pixel = (int(v) for v in header[:4])
    if len(strings) < 1 + colours + height:
        raise XpmError(f"{len(strings)} strings, expected {1 + colours + height}")
    table = {}
    for entry in strings[1:1 + colours]:
        key, words = entry[:per_pixel], entry[per_pixel:].split()
        # Visual kinds and their values; a value may be several words ("c light blue").
        kinds = {}
        kind = None
        for word in words:
            if word in ("c", "m", "g", "g4", "s"):
                kind = word
                kinds[kind] = []
            elif kind is None:
                raise XpmError(f"colour entry {entry!r}: value before any kind")
            else:
                kinds[kind].append(word)
        if "c" not in kinds:
            raise XpmError(f"colour entry {entry!r}: no colour (c) value")
        table[key] = _parse_colour(" ".join(kinds["c"]), key)
    rows = []
    for number, line in enumerate(strings[1 + colours:1 + colours + height]):
        if len(line) != width * per_pixel:
            raise XpmError(f"row {number}: {len(line)} characters, expected {width * per_pixel}")
        row = []
        for x in range(width):
            key = line[x * per_pixel:(x + 1) * per_pixel]
            if key not in table:
                raise XpmError(f"row {number}, column {x}: pixel {key!r} is not in the colour table")
            row.append(table[key])
        rows.append(row)
    return width, height, rows


def read_png(path):
    """(width, height, rows) of an 8-bit RGBA PNG, as read_xpm gives them (fully transparent
    pixels as None): what rsvg-convert writes."""
    with open(path, "rb") as source:
        data = source.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise XpmError("not a PNG file")
    position, packed, header = 8, b"", None
    while position + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        position += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            packed += body
        elif kind == b"IEND":
            break
    if header is None or header[2:] != (8, 6, 0, 0, 0):
        raise XpmError("only 8-bit RGBA PNG images without interlacing are read")
    width, height = header[:2]
    raw, stride, rows, previous, at = zlib.decompress(packed), width * 4, [], bytearray(width * 4), 0
    for _ in range(height):
        kind, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for x in range(stride):
            left = line[x - 4] if x >= 4 else 0
            up = previous[x]
            corner = previous[x - 4] if x >= 4 else 0
            if kind == 1:
                line[x] = (line[x] + left) & 255
            elif kind == 2:
                line[x] = (line[x] + up) & 255
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 255
            elif kind == 4:
                estimate = left + up - corner
                near = min((abs(estimate - left), 0, left), (abs(estimate - up), 1, up),
                           (abs(estimate - corner), 2, corner))[2]
                line[x] = (line[x] + near) & 255
        rows.append([None if line[x * 4 + 3] == 0 else tuple(line[x * 4:x * 4 + 4])
                     for x in range(width)])
        previous = line
    return width, height, rows


def scale(rows, width, height, size):
    """Nearest neighbour, from width x height to size x size."""
    return [[rows[y * height // size][x * width // size] for x in range(size)] for y in range(size)]


def sharp(rows, width, height, size):
    """The drawing at the largest whole multiple of its size that fits, centred on a transparent
    square: pixel art scaled by 1.25 or 1.5 gets uneven pixels. Nearest neighbour when even one
    time its size does not fit."""
    times = min(size // width, size // height)
    if times == 0:
        return scale(rows, width, height, size)
    left, top = (size - width * times) // 2, (size - height * times) // 2
    return [[rows[(y - top) // times][(x - left) // times]
             if 0 <= y - top < height * times and 0 <= x - left < width * times else None
             for x in range(size)] for y in range(size)]


def warning_mark(pixels, size):
    """The image with a warning mark over its lower right: a yellow triangle edged in black with
    a black exclamation mark, drawn at the image's own size."""
    side = max(7, round(size * 0.6))
    left, top = size - side, size - side
    centre = left + (side - 1) / 2
    edge = max(1, size // 24)
    black, yellow = (0, 0, 0, 255), (255, 200, 0, 255)
    marked = [list(row) for row in pixels]
    for y in range(top, size):
        half = (y - top + 1) * side / (2 * side)  # the triangle's half width on this row
        for x in range(left, size):
            if abs(x - centre) > half:
                continue
            border = abs(x - centre) > half - edge - 0.5 or y >= size - edge
            marked[y][x] = black if border else yellow
    stroke = max(1, size // 12)
    for y in range(top + round(side * 0.35), top + round(side * 0.65)):
        for x in range(round(centre - (stroke - 1) / 2), round(centre - (stroke - 1) / 2) + stroke):
            marked[y][x] = black
    dot = top + round(side * 0.78)
    for y in range(dot, min(size - edge, dot + stroke)):
        for x in range(round(centre - (stroke - 1) / 2), round(centre - (stroke - 1) / 2) + stroke):
            marked[y][x] = black
    return marked


def icon_image(pixels, size):
    """One image of an ICO file: BITMAPINFOHEADER (twice the height: colours, then the mask),
    bottom-up BGRA rows, then the bottom-up 1-bit AND mask, rows padded to 32 bits."""
    colour = bytearray()
    mask = bytearray()
    mask_stride = (size + 31) // 32 * 4
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, pixel in enumerate(row):
            if pixel is None:
                colour += b"\0\0\0\0"
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                red, green, blue, alpha = pixel
                colour += bytes((blue, green, red, alpha))
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def icon_file(images):
    """ICONDIR, one ICONDIRENTRY an image, then the images. `images` is [(size, bytes)]."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, data in images:
        dimension = 0 if size >= 256 else size  # 0 stands for 256
        entries += struct.pack("<BBBBHHII", dimension, dimension, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, data in images)


def main(argv):
    parser = argparse.ArgumentParser(description="XPM to Windows icon (32-bit images).")
    parser.add_argument("--sizes", required=True,
                        help="comma-separated sizes in pixels of the icon's images, e.g. 16,32,48")
    parser.add_argument("--warning", action="store_true",
                        help="draw a warning mark over the lower right of every image")
    parser.add_argument("--sharp", action="store_true",
                        help="scale by whole multiples only, centred on a transparent square")
    parser.add_argument("--png", action="append", default=[], metavar="SIZE=FILE",
                        help="take that size's image from a PNG drawn for it (8-bit RGBA)")
    parser.add_argument("input")
    parser.add_argument("output")
    args = parser.parse_args(argv)
    try:
        sizes = [int(s) for s in args.sizes.split(",")]
    except ValueError:
        parser.error(f"--sizes {args.sizes!r}: not a list of numbers")
    if any(s < 1 or s > 256 for s in sizes) or len(set(sizes)) != len(sizes):
        parser.error(f"--sizes {args.sizes!r}: each from 1 to 256, none twice")
    try:
        width, height, rows = read_xpm(args.input)
    except (OSError, ValueError, XpmError) as error:
        print(f"xpm_to_ico: {args.input}: {error}", file=sys.stderr)
        return 1
    drawn = {}
    for entry in args.png:
        size, _, path = entry.partition("=")
        try:
            png_width, png_height, png_rows = read_png(path)
        except (OSError, ValueError, XpmError, zlib.error) as error:
            print(f"xpm_to_ico: {path}: {error}", file=sys.stderr)
            return 1
        if png_width != int(size) or png_height != int(size):
            print(f"xpm_to_ico: {path}: {png_width}x{png_height}, expected {size}", file=sys.stderr)
            return 1
        drawn[int(size)] = png_rows
    images = []
    for s in sizes:
        pixels = drawn.get(s) or (sharp if args.sharp else scale)(rows, width, height, s)
        if args.warning:
            pixels = warning_mark(pixels, s)
        images.append((s, icon_image(pixels, s)))
    data = icon_file(images)
    # Written whole or not at all: a build stopped halfway leaves no icon that looks made.
    partial = args.output + ".part"
    with open(partial, "wb") as out:
        out.write(data)
    os.replace(partial, args.output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
