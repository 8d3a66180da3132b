#!/usr/bin/env python3
"""Draws the two status dots of the server probe: PngImage_1 (grey, probe
running or failed) and PngImage_2 (green, server reachable), 18 x 18 RGBA
PNGs with a transparent background and a softened edge. Standard library
only; the output is committed and embedded by launcher.rc."""
import os
import struct
import zlib

SIZE = 18


def png(pixels):
    raw = b"".join(b"\x00" + bytes(row) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dot(rgb):
    rows = []
    centre, radius = (SIZE - 1) / 2, 7.5
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            d = ((x - centre) ** 2 + (y - centre) ** 2) ** 0.5
            alpha = max(0.0, min(1.0, radius - d + 0.5))
            row += [*rgb, int(round(alpha * 255))]
        rows.append(row)
    return rows


here = os.path.dirname(os.path.abspath(__file__))
for name, rgb in (("PngImage_1.png", (128, 128, 128)), ("PngImage_2.png", (0, 200, 0))):
    with open(os.path.join(here, name), "wb") as f:
        f.write(png(dot(rgb)))
