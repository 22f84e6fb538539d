#!/usr/bin/python3
"""Draws the five icons of the operator dialog (45 x 45 PNG, RGBA) into a folder:
Information, Question, Warning, Critical and Alarm. Each icon is a coloured badge with
a white glyph, both made of simple shapes measured as distances, so the edges come out
smooth without any drawing library. Standard library only.

    /usr/bin/python3 scripts/draw_icons.py source/Common/MessageBox
"""
import math
import struct
import sys
import zlib
from pathlib import Path

SIZE = 45
SAMPLES = 4  # per axis and pixel, for smooth edges


def disc(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) <= r


def bar(x0, y0, x1, y1, w):
    """A stroke from (x0, y0) to (x1, y1) with round ends, w wide."""
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
        return math.hypot(x - x0 - t * dx, y - y0 - t * dy) <= w / 2
    return inside


def arc(cx, cy, r, a0, a1, w):
    """A stroke along a circle from angle a0 to a1 (degrees, clockwise from 3 o'clock)."""
    def inside(x, y):
        angle = math.degrees(math.atan2(y - cy, x - cx)) % 360
        within = a0 <= angle <= a1 if a0 <= a1 else angle >= a0 or angle <= a1
        return within and abs(math.hypot(x - cx, y - cy) - r) <= w / 2
    return inside


def triangle(points):
    (ax, ay), (bx, by), (cx, cy) = points

    def side(px, py, qx, qy, x, y):
        return (qx - px) * (y - py) - (qy - py) * (x - px)

    def inside(x, y):
        s = (side(ax, ay, bx, by, x, y), side(bx, by, cx, cy, x, y), side(cx, cy, ax, ay, x, y))
        return all(v >= 0 for v in s) or all(v <= 0 for v in s)
    return inside


def union(*shapes):
    return lambda x, y: any(shape(x, y) for shape in shapes)


C = SIZE / 2
ICONS = {
    "Information": ((40, 120, 200), disc(C, C, 21),
                    union(disc(C, 13, 3), bar(C, 20, C, 33, 5))),
    "Question": ((40, 150, 110), disc(C, C, 21),
                 union(arc(C, 17, 6.5, 180, 90, 4.5), bar(C, 23.5, C, 27, 4.5), disc(C, 33, 2.8))),
    "Warning": ((230, 160, 20), triangle(((C, 2), (43, 41), (2, 41))),
                union(bar(C, 15, C, 29, 4.5), disc(C, 35, 2.8))),
    "Critical": ((200, 50, 50), disc(C, C, 21),
                 union(bar(15, 15, 30, 30, 5), bar(30, 15, 15, 30, 5))),
    "Alarm": ((120, 80, 190), disc(C, C, 21),
              union(arc(C, 21, 8, 180, 360, 3.5), bar(14.5, 21, 13, 30, 3.5), bar(30.5, 21, 32, 30, 3.5),
                    bar(12, 30.5, 33, 30.5, 3.5), disc(C, 34, 3), bar(C, 10, C, 12.5, 3))),
}


def render(colour, badge, glyph):
    rows = []
    for py in range(SIZE):
        row = bytearray([0])  # filter byte: none
        for px in range(SIZE):
            cover = white = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) / SAMPLES
                    y = py + (sy + 0.5) / SAMPLES
                    if badge(x, y):
                        cover += 1
                        white += glyph(x, y)
            n = SAMPLES * SAMPLES
            if cover == 0:
                row += bytes(4)
                continue
            share = white / cover
            rgb = [round(c + (255 - c) * share) for c in colour]
            row += bytes(rgb + [round(255 * cover / n)])
        rows.append(bytes(row))
    return b"".join(rows)


def png(pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(pixels, 9))
            + chunk(b"IEND", b""))


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    folder.mkdir(parents=True, exist_ok=True)
    for name, (colour, badge, glyph) in ICONS.items():
        (folder / f"{name}.png").write_bytes(png(render(colour, badge, glyph)))
        print(folder / f"{name}.png")


if __name__ == "__main__":
    main()
