#!/usr/bin/env python3
"""Draws scene.png, the input picture of the filters' reference cases: 320 x 180 RGB, our own.

A sky and a ground of gradients, a sun in the upper left, a house with a red roof on the right,
a large letter F (which shows at once whether a picture is upside down or mirrored), a band of
checks and a row of colour bars along the bottom. Only the standard library is used; the same
Python writes the same file.

    python3 tests/reference/inputs/make_scene.py [OUT.png]     default: scene.png beside it
"""
import math
import os
import struct
import sys
import zlib

WIDTH, HEIGHT = 320, 180


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def inside_polygon(x, y, points):
    """Whether (x, y) lies inside the polygon (even-odd rule)."""
    inside = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def colour(x, y):
    """The colour of pixel (x, y), y counted from the top."""
    horizon = 112
    if y < horizon:
        c = lerp((40, 70, 160), (150, 200, 240), y / horizon)
    else:
        c = lerp((70, 150, 60), (30, 90, 30), (y - horizon) / (HEIGHT - horizon))
    # Diagonal stripes across the ground.
    if y >= horizon and ((x + 2 * y) // 12) % 2 == 0:
        c = lerp(c, (200, 190, 90), 0.25)
    # The sun, upper left, with a soft rim.
    d = math.hypot(x - 58, y - 40)
    if d < 26:
        c = lerp((255, 230, 80), c, max(0.0, (d - 22) / 4))
    # The house on the right: a white wall with a blue door and a red roof.
    if 214 <= x < 282 and 78 <= y < 126:
        c = (235, 235, 225)
        if 240 <= x < 256 and 98 <= y < 126:
            c = (40, 60, 170)
    if inside_polygon(x + 0.5, y + 0.5, [(206, 80), (248, 48), (290, 80)]):
        c = (200, 40, 40)
    # A large F: a stem and two arms pointing right, the upper arm the longer.
    if 120 <= x < 134 and 30 <= y < 110:
        c = (20, 20, 20)
    if 134 <= x < 180 and 30 <= y < 44:
        c = (20, 20, 20)
    if 134 <= x < 164 and 62 <= y < 74:
        c = (20, 20, 20)
    # A band of checks and colour bars along the bottom.
    if 150 <= y < 162:
        c = (255, 255, 255) if ((x // 10) + (y // 6)) % 2 == 0 else (0, 0, 0)
    if y >= 162:
        bars = [(255, 255, 255), (255, 255, 0), (0, 255, 255), (0, 255, 0),
                (255, 0, 255), (255, 0, 0), (0, 0, 255), (0, 0, 0)]
        c = bars[x * len(bars) // WIDTH]
    return c


def png(width, height, rows):
    """A PNG file of 8-bit RGB rows (top row first), each row filtered with 'Sub'."""
    raw = bytearray()
    for row in rows:
        raw.append(1)
        previous = (0, 0, 0)
        for pixel in row:
            raw.extend((pixel[k] - previous[k]) & 0xFF for k in range(3))
            previous = pixel

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "scene.png")
    rows = [[colour(x, y) for x in range(WIDTH)] for y in range(HEIGHT)]
    with open(out, "wb") as f:
        f.write(png(WIDTH, HEIGHT, rows))
    print(f"wrote {out}")


if __name__ == "__main__":
    main()
