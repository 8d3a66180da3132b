#!/usr/bin/env python3
"""Draws the images of the demo skin (Python standard library only).

Run from anywhere: python3 skins/demo/make_images.py. The output is
deterministic, and the images are committed beside this script.

- background.png: the 982x588 window, with magenta (255, 0, 255) where the
  window is see-through: rounded outer corners and a notch in the title bar.
- start1.png / start2.png: the start button, normal and hover, with alpha.
- every other button as BMP (normal *1.bmp, hover *2.bmp); pure black in a
  BMP becomes see-through magenta when the launcher loads it, so their
  rounded corners are black.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
W, H = 982, 588
MAGENTA = (255, 0, 255)


def png(path, w, h, pixel):
    """pixel(x, y) -> (r, g, b, a)."""
    raw = bytearray()
    for y in range(h):
        raw.append(0)
        for x in range(w):
            raw.extend(pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    with open(os.path.join(HERE, path), "wb") as f:
        f.write(data)


def bmp(path, w, h, pixel):
    """pixel(x, y) -> (r, g, b); a 24-bit bottom-up BMP."""
    stride = (w * 3 + 3) & ~3
    rows = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            r, g, b = pixel(x, y)
            row.extend((b, g, r))
        row.extend(b"\0" * (stride - len(row)))
        rows.extend(row)
    header = b"BM" + struct.pack("<IHHI", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    with open(os.path.join(HERE, path), "wb") as f:
        f.write(header + info + rows)


def outside_round_rect(x, y, w, h, r):
    """True when (x, y) lies outside a w x h rectangle with corner radius r."""
    cx = min(max(x, r), w - 1 - r)
    cy = min(max(y, r), h - 1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 > r * r


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def background(x, y):
    if outside_round_rect(x, y, W, H, 14):
        return MAGENTA + (255,)
    # A see-through notch in the middle of the title bar.
    if y < 10 and abs(x - W // 2) < 60 - y * 2:
        return MAGENTA + (255,)
    if y < 40:  # title bar
        return mix((20, 40, 90), (40, 70, 140), x / W) + (255,)
    base = mix((18, 24, 38), (36, 52, 84), y / H)
    # Panels behind the zone tree and the notice page.
    if 30 <= x < 300 and 70 <= y < 450 or 320 <= x < 750 and 70 <= y < 380:
        base = mix(base, (60, 70, 100), 0.35)
    # A thin border in lighter blue.
    if x < 2 or y < 2 or x >= W - 2 or y >= H - 2:
        base = (90, 120, 190)
    return base + (255,)


def start_button(hover):
    w, h = 180, 60
    top, bottom = ((250, 190, 60), (200, 110, 20)) if hover else ((220, 150, 40), (160, 80, 10))

    def px(x, y):
        if outside_round_rect(x, y, w, h, 16):
            return (0, 0, 0, 0)
        # Soft edge: half transparent on the outermost ring.
        edge = outside_round_rect(x, y, w, h, 15) or x in (0, w - 1) or y in (0, h - 1)
        c = mix(top, bottom, y / h)
        # A play triangle in the middle.
        tx, ty = x - 78, y - 30
        if 0 <= tx < 26 and abs(ty) <= 13 - tx / 2:
            c = (255, 255, 255)
        return c + (128 if edge else 255,)

    return w, h, px


def small_button(glyph, hover, w=100, h=32):
    face = (70, 110, 180) if hover else (45, 70, 120)

    def px(x, y):
        if outside_round_rect(x, y, w, h, 8):
            return (0, 0, 0)  # black: see-through once loaded
        if glyph(x, y):
            return (255, 255, 255) if hover else (220, 225, 235)
        return mix(face, (20, 30, 60), y / h / 2)

    return w, h, px


def stripes(n):
    """n short horizontal bars, to tell the buttons apart without text."""
    def g(x, y):
        for i in range(n):
            bx = 50 - n * 8 + i * 16
            if bx <= x < bx + 10 and 13 <= y < 19:
                return True
        return False
    return g


def minus(x, y):
    return 6 <= x < 18 and 11 <= y < 13


def cross(x, y):
    return 6 <= x < 18 and 6 <= y < 18 and (abs(x - y) <= 1 or abs(x + y - 23) <= 1)


def main():
    png("background.png", W, H, background)
    for hover in (False, True):
        n = "2" if hover else "1"
        w, h, px = start_button(hover)
        png(f"start{n}.png", w, h, px)
        for name, count in (("hub", 1), ("website", 2), ("tools", 3), ("register", 4)):
            w, h, px = small_button(stripes(count), hover)
            bmp(f"{name}{n}.bmp", w, h, px)
        w, h, px = small_button(minus, hover, 24, 24)
        bmp(f"minimize{n}.bmp", w, h, px)
        w, h, px = small_button(cross, hover, 24, 24)
        bmp(f"close{n}.bmp", w, h, px)


if __name__ == "__main__":
    main()
