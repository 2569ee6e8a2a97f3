#!/usr/bin/env python3
"""Draws the balloon's three 16x16 24-bit icons (INFO, ERROR, WARNING) as PNG files.

Run from anywhere: python3 app/icons/make_icons.py. Uses only the standard library."""
import os
import struct
import zlib

SIZE = 16
WHITE = (255, 255, 255)


def disc(x, y, color, fill):
    cx = cy = 7.5
    return fill if (x - cx) ** 2 + (y - cy) ** 2 <= 7.6 ** 2 else color


def info(x, y):
    c = disc(x, y, WHITE, (30, 90, 200))
    if c == WHITE:
        return c
    if 7 <= x <= 8 and (y in (3, 4) or 6 <= y <= 12):
        return WHITE
    return c


def error(x, y):
    c = disc(x, y, WHITE, (200, 30, 30))
    if c == WHITE:
        return c
    if 3 <= x <= 12 and 3 <= y <= 12 and (abs(x - y) <= 0 or abs(x + y - 15) <= 0):
        return WHITE
    if 4 <= x <= 11 and 4 <= y <= 11 and (abs(x - y) == 1 or abs(x + y - 15) == 1):
        return WHITE
    return c


def warning(x, y):
    # A yellow triangle with a black exclamation mark.
    half = (y + 1) / 2.0
    if 1 <= y <= 14 and abs(x - 7.5) <= half:
        if 7 <= x <= 8 and (5 <= y <= 9 or 11 <= y <= 12):
            return (0, 0, 0)
        return (240, 200, 20)
    return WHITE


def png(pixel):
    rows = b"".join(b"\0" + bytes(v for x in range(SIZE) for v in pixel(x, y)) for y in range(SIZE))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0)  # 8 bits per channel, RGB
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9))
            + chunk(b"IEND", b""))


here = os.path.dirname(os.path.abspath(__file__))
for name, pixel in (("info", info), ("error", error), ("warning", warning)):
    with open(os.path.join(here, name + ".png"), "wb") as f:
        f.write(png(pixel))
