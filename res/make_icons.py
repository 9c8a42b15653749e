#!/usr/bin/env python3
"""Draws quendle.ico: an augmented matrix between square brackets, the
constant column in orange, on a light rounded tile.

The file holds four 8-bit palette images (16, 32, 48 and 64 pixels square)
with a 1-bit transparency mask each. Shapes are drawn in unit coordinates
and sampled 4 x 4 times per pixel, so every size is drawn from the same
picture. Python 3 standard library only.

    python3 res/make_icons.py [--png DIR]   # DIR: also write PNG previews
"""

import argparse
import os
import struct
import zlib

SIZES = (16, 32, 48, 64)
SUPERSAMPLE = 4

TILE = (244, 247, 251)
BORDER = (31, 78, 140)
BRACKET = (31, 78, 140)
ENTRY = (40, 40, 48)
CONSTANT = (230, 120, 20)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def union(*parts):
    return lambda x, y: any(p(x, y) for p in parts)


def picture():
    """The shapes from back to front: (colour, inside(x, y)) in unit space.

    The picture is laid out on a 16 x 16 grid, so every size (a multiple of
    16) gets whole pixels: brackets one cell wide, matrix entries two.
    """
    u = 1 / 16
    cell = lambda x0, y0, x1, y1: rect(x0 * u, y0 * u, x1 * u, y1 * u)
    shapes = [
        (BORDER, rounded_rect(0, 0, 1, 1, 3 * u)),
        (TILE, rounded_rect(u, u, 1 - u, 1 - u, 2 * u)),
        (BRACKET, union(cell(2, 3, 3, 13), cell(2, 3, 4, 4), cell(2, 12, 4, 13))),
        (BRACKET, union(cell(13, 3, 14, 13), cell(12, 3, 14, 4), cell(12, 12, 14, 13))),
    ]
    # Three rows of an augmented matrix: two coefficients and the constant.
    for y in (4, 7, 10):
        shapes.append((ENTRY, cell(4, y, 6, y + 2)))
        shapes.append((ENTRY, cell(7, y, 9, y + 2)))
        shapes.append((CONSTANT, cell(10, y, 12, y + 2)))
    return shapes


def render(size, shapes):
    """Rows of (r, g, b, opaque) pixels, top row first."""
    pixels = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = covered = 0
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    colour = None
                    for c, inside in shapes:
                        if inside(x, y):
                            colour = c
                    if colour:
                        r, g, b = r + colour[0], g + colour[1], b + colour[2]
                        covered += 1
            if covered * 2 < n * n:
                row.append((0, 0, 0, False))
            else:
                # Quantise so that the blends fit one 256-colour palette.
                q = lambda v: min(255, round(v / covered / 8) * 8)
                row.append((q(r), q(g), q(b), True))
        pixels.append(row)
    return pixels


def bmp_image(pixels):
    """The icon directory's image: BITMAPINFOHEADER, palette, XOR and AND bitmaps."""
    size = len(pixels)
    palette = [(0, 0, 0)]
    index = {(0, 0, 0): 0}
    for row in pixels:
        for r, g, b, opaque in row:
            if opaque and (r, g, b) not in index:
                index[(r, g, b)] = len(palette)
                palette.append((r, g, b))
    if len(palette) > 256:
        raise SystemExit("more than 256 colours at %d px" % size)
    palette += [(0, 0, 0)] * (256 - len(palette))

    xor_stride = (size + 3) & ~3
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(pixels):  # bottom-up
        line = bytes(index[(r, g, b)] if opaque else 0 for r, g, b, opaque in row)
        xor += line + bytes(xor_stride - size)
        bits = bytearray(and_stride)
        for x, (_, _, _, opaque) in enumerate(row):
            if not opaque:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, len(xor) + len(mask), 0, 0,
                         256, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + colours + bytes(xor) + bytes(mask)


def ico(images):
    """ICONDIR, one ICONDIRENTRY per (size, image), then the images."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    data = b""
    for size, image in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 8, len(image), offset)
        offset += len(image)
        data += image
    return out + data


def png(pixels):
    """A plain RGBA PNG of one image, for looking at the picture."""
    size = len(pixels)
    raw = b"".join(b"\0" + bytes(v for r, g, b, o in row for v in (r, g, b, 255 if o else 0))
                   for row in pixels)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    parser = argparse.ArgumentParser(description="Draw res/quendle.ico.")
    parser.add_argument("--png", metavar="DIR", help="also write PNG previews into DIR")
    args = parser.parse_args()
    here = os.path.dirname(os.path.abspath(__file__))
    shapes = picture()
    rendered = [(size, render(size, shapes)) for size in SIZES]
    with open(os.path.join(here, "quendle.ico"), "wb") as f:
        f.write(ico([(size, bmp_image(pixels)) for size, pixels in rendered]))
    if args.png:
        os.makedirs(args.png, exist_ok=True)
        for size, pixels in rendered:
            with open(os.path.join(args.png, "quendle-%d.png" % size), "wb") as f:
                f.write(png(pixels))


if __name__ == "__main__":
    main()
