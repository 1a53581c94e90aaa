#!/usr/bin/env python3
"""Draws the launcher's icon: one 32x32 image, 24 bits per pixel.

A screen with two stacked desktops and an arrow that launches onto the front
one. Run it to rewrite src/res/A_MAIN.ico; the output is the same every time.
"""
import struct
import sys
from pathlib import Path

SIZE = 32


def draw():
    transparent = None
    pixels = [[transparent] * SIZE for _ in range(SIZE)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                pixels[y][x] = colour

    frame, back, front, arrow = (40, 40, 48), (70, 110, 170), (60, 150, 230), (250, 250, 250)
    rect(8, 2, 30, 18, frame)      # the desktop behind
    rect(9, 3, 29, 17, back)
    rect(1, 8, 23, 26, frame)      # the desktop in front
    rect(2, 9, 22, 25, front)
    rect(9, 27, 15, 28, frame)     # its stand
    rect(5, 29, 19, 30, frame)
    rect(5, 16, 13, 18, arrow)
    for i in range(5):
        rect(14 + i, 13 + i, 14 + i, 21 - i, arrow)
    return pixels


def ico(pixels):
    xor = bytearray()
    mask = bytearray()
    for row in reversed(pixels):   # bitmaps are stored bottom-up
        bits = 0
        for x, colour in enumerate(row):
            r, g, b = colour if colour else (0, 0, 0)
            xor += bytes((b, g, r))
            if colour is None:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 24, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "src/res/A_MAIN.ico"
    out.write_bytes(ico(draw()))
