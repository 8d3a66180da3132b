#!/usr/bin/env python3
"""Draws the images of the demo skin (Python standard library only).

Run from anywhere: python3 skins/demo/make_images.py. The images are
committed beside this script; the output is the same bytes on every run.

- background.png: the 982x588 window, with magenta (255, 0, 255) where the
  window is see-through: rounded outer corners and a notch in the title bar.
- start1.png / start2.png: the start button "开始游戏", normal and hover,
  with alpha.
- every other button as BMP (normal *1.bmp, hover *2.bmp); pure black in a
  BMP becomes see-through magenta when the launcher loads it, so their
  rounded corners are black. The page buttons carry their captions ("充值",
  "官网", "工具", "注册").

The captions are drawn from the outlines of WenQuanYi Micro Hei (Debian's
fonts-wqy-microhei, which scripts/setup.sh installs) by the small TrueType
rasteriser below: no hinting, coverage by exact span areas on sixteen
sub-rows per pixel, plain IEEE arithmetic, so the same font file gives the
same pixels everywhere. A font file other than the one these images were
drawn from (checked by its SHA-256) is reported; the images would differ.
"""
import hashlib
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
W, H = 982, 588
MAGENTA = (255, 0, 255)
FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
FONT_SHA256 = "2420e8078af796b19a3f6ef13de527a1a91c1e7171eea115926c614ced1009b3"


# --- Captions: a TrueType rasteriser --------------------------------------

class Font:
    """The first face of a TrueType file or collection: character map,
    advance widths and glyph outlines (quadratic contours, font units)."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = data = f.read()
        base = struct.unpack_from(">I", data, 12)[0] if data[:4] == b"ttcf" else 0
        self.tables = {}
        for i in range(struct.unpack_from(">H", data, base + 4)[0]):
            tag, _, offset, _ = struct.unpack_from(">4sIII", data, base + 12 + 16 * i)
            self.tables[tag.decode("latin-1")] = offset
        head = self.tables["head"]
        self.units_per_em = struct.unpack_from(">H", data, head + 18)[0]
        self.long_loca = struct.unpack_from(">h", data, head + 50)[0] == 1
        self.hmetrics = struct.unpack_from(">H", data, self.tables["hhea"] + 34)[0]
        cmap = self.tables["cmap"]
        for i in range(struct.unpack_from(">H", data, cmap + 2)[0]):
            platform, encoding, sub = struct.unpack_from(">HHI", data, cmap + 4 + 8 * i)
            if (platform, encoding) == (3, 1) and struct.unpack_from(">H", data, cmap + sub)[0] == 4:
                self.cmap4 = cmap + sub
                break
        else:
            raise SystemExit(f"{path}: no Unicode character map of format 4")

    def glyph(self, ch):
        d, t, c = self.data, self.cmap4, ord(ch)
        seg2 = struct.unpack_from(">H", d, t + 6)[0]
        ends, starts = t + 14, t + 16 + seg2
        deltas, ranges = starts + seg2, starts + 2 * seg2
        for i in range(0, seg2, 2):
            if c > struct.unpack_from(">H", d, ends + i)[0]:
                continue
            start = struct.unpack_from(">H", d, starts + i)[0]
            if c < start:
                break
            delta = struct.unpack_from(">h", d, deltas + i)[0]
            offset = struct.unpack_from(">H", d, ranges + i)[0]
            if offset == 0:
                return (c + delta) & 0xFFFF
            g = struct.unpack_from(">H", d, ranges + i + offset + 2 * (c - start))[0]
            if g:
                return (g + delta) & 0xFFFF
            break
        raise SystemExit(f"the font has no glyph for {ch!r}")

    def advance(self, g):
        return struct.unpack_from(">H", self.data, self.tables["hmtx"] + 4 * min(g, self.hmetrics - 1))[0]

    def contours(self, g):
        """[[(x, y, on_curve), ...], ...] in font units, y up."""
        d, loca = self.data, self.tables["loca"]
        if self.long_loca:
            a, b = struct.unpack_from(">II", d, loca + 4 * g)
        else:
            a, b = (2 * v for v in struct.unpack_from(">HH", d, loca + 2 * g))
        if a == b:
            return []
        at = self.tables["glyf"] + a
        n = struct.unpack_from(">h", d, at)[0]
        if n < 0:
            return self._composite(at + 10)
        ends = struct.unpack_from(f">{n}H", d, at + 10)
        count = ends[-1] + 1 if n else 0
        p = at + 10 + 2 * n
        p += 2 + struct.unpack_from(">H", d, p)[0]  # the hinting instructions are not run
        flags = []
        while len(flags) < count:
            f = d[p]
            p += 1
            flags.append(f)
            if f & 8:
                flags.extend([f] * d[p])
                p += 1

        def coordinates(short, same):
            nonlocal p
            values, v = [], 0
            for f in flags:
                if f & short:
                    v += d[p] if f & same else -d[p]
                    p += 1
                elif not f & same:
                    v += struct.unpack_from(">h", d, p)[0]
                    p += 2
                values.append(v)
            return values

        xs = coordinates(2, 16)
        ys = coordinates(4, 32)
        points = [(x, y, bool(f & 1)) for x, y, f in zip(xs, ys, flags)]
        out, first = [], 0
        for end in ends:
            out.append(points[first:end + 1])
            first = end + 1
        return out

    def _composite(self, p):
        d, out = self.data, []
        while True:
            flags, g = struct.unpack_from(">HH", d, p)
            p += 4
            if not flags & 2:
                raise SystemExit("composite glyphs placed by point numbers are not supported")
            dx, dy = struct.unpack_from(">hh" if flags & 1 else ">bb", d, p)
            p += 4 if flags & 1 else 2
            xx, xy, yx, yy = 1.0, 0.0, 0.0, 1.0
            if flags & 8:
                xx = yy = struct.unpack_from(">h", d, p)[0] / 16384
                p += 2
            elif flags & 0x40:
                xx, yy = (v / 16384 for v in struct.unpack_from(">hh", d, p))
                p += 4
            elif flags & 0x80:
                xx, xy, yx, yy = (v / 16384 for v in struct.unpack_from(">hhhh", d, p))
                p += 8
            for contour in self.contours(g):
                out.append([(xx * x + yx * y + dx, xy * x + yy * y + dy, on) for x, y, on in contour])
            if not flags & 0x20:
                return out


def flatten(contour, steps=8):
    """A closed quadratic contour as a polygon (the points between two
    off-curve points are implied on-curve points)."""
    seq = []
    for i, (x, y, on) in enumerate(contour):
        nx, ny, non = contour[(i + 1) % len(contour)]
        seq.append((x, y, on))
        if not on and not non:
            seq.append(((x + nx) / 2, (y + ny) / 2, True))
    k = next(i for i, p in enumerate(seq) if p[2])
    seq = seq[k:] + seq[:k] + [seq[k]]
    poly = [seq[0][:2]]
    i = 1
    while i < len(seq):
        x, y, on = seq[i]
        if on:
            poly.append((x, y))
            i += 1
            continue
        (x0, y0), (x2, y2, _) = poly[-1], seq[i + 1]
        for s in range(1, steps + 1):
            t = s / steps
            u = 1 - t
            poly.append((u * u * x0 + 2 * u * t * x + t * t * x2, u * u * y0 + 2 * u * t * y + t * t * y2))
        i += 2
    return poly


def text_mask(font, text, size, sub_rows=16):
    """The text's ink at `size` pixels per em as (width, height, coverage
    rows of 0..1), tight around the ink, non-zero winding."""
    scale = size / font.units_per_em
    edges, pen = [], 0
    for ch in text:
        g = font.glyph(ch)
        for contour in font.contours(g):
            poly = [(pen + x * scale, -y * scale) for x, y in flatten(contour)]
            edges += [(a, b) for a, b in zip(poly, poly[1:]) if a[1] != b[1]]
        pen += font.advance(g) * scale
    xs = [x for e in edges for x, _ in e]
    ys = [y for e in edges for _, y in e]
    ox, oy = -int(min(xs) // 1), -int(min(ys) // 1)
    w, h = int(-(-(max(xs) + ox) // 1)), int(-(-(max(ys) + oy) // 1))
    edges = [((ax + ox, ay + oy), (bx + ox, by + oy)) for (ax, ay), (bx, by) in edges]
    cover = [[0.0] * w for _ in range(h)]
    for row in range(h):
        line = cover[row]
        for k in range(sub_rows):
            y = row + (k + 0.5) / sub_rows
            hits = []
            for (ax, ay), (bx, by) in edges:
                if (ay <= y < by) or (by <= y < ay):
                    hits.append((ax + (y - ay) * (bx - ax) / (by - ay), 1 if by > ay else -1))
            hits.sort()
            winding = 0
            for (x0, d), (x1, _) in zip(hits, hits[1:]):
                winding += d
                if winding == 0 or x1 <= x0:
                    continue
                for px in range(int(x0), min(int(x1) + 1, w)):
                    overlap = min(x1, px + 1) - max(x0, px)
                    if overlap > 0:
                        line[px] += overlap / sub_rows
    return w, h, cover


def caption(text, size):
    """A caption mask, drawn once per text and size."""
    key = (text, size)
    if key not in _captions:
        _captions[key] = text_mask(_font(), text, size)
    return _captions[key]


_captions = {}
_fonts = []


def _font():
    if not _fonts:
        if not os.path.exists(FONT):
            raise SystemExit(f"{FONT} is missing: install fonts-wqy-microhei (bash scripts/setup.sh)")
        with open(FONT, "rb") as f:
            if hashlib.sha256(f.read()).hexdigest() != FONT_SHA256:
                print(f"warning: {FONT} is not the font the committed images were drawn from; "
                      "the captions will differ", file=sys.stderr)
        _fonts.append(Font(FONT))
    return _fonts[0]


def ink(mask, left, top, x, y):
    """The mask's coverage at (x, y) when its top left lies at (left, top)."""
    w, h, cover = mask
    if left <= x < left + w and top <= y < top + h:
        return min(cover[y - top][x - left], 1.0)
    return 0.0


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
    # A play triangle and the caption, centred together.
    text = caption("开始游戏", 24)
    tri_w, gap = 18, 10
    left = (w - (tri_w + gap + text[0])) // 2
    text_left, text_top = left + tri_w + gap, (h - text[1]) // 2
    white = (255, 255, 255) if hover else (255, 248, 232)
    shadow = (120, 60, 5)

    def px(x, y):
        if outside_round_rect(x, y, w, h, 16):
            return (0, 0, 0, 0)
        # Soft edge: half transparent on the outermost ring.
        edge = outside_round_rect(x, y, w, h, 15) or x in (0, w - 1) or y in (0, h - 1)
        c = mix(top, bottom, y / h)
        tx, ty = x - left, y - h // 2
        if 0 <= tx < tri_w and abs(ty) <= 10 - tx * 10 / tri_w:
            c = white
        c = mix(c, shadow, 0.6 * ink(text, text_left + 1, text_top + 1, x, y))
        c = mix(c, white, ink(text, text_left, text_top, x, y))
        return c + (128 if edge else 255,)

    return w, h, px


def small_button(glyph, hover, w=100, h=32):
    face = (70, 110, 180) if hover else (45, 70, 120)
    light = (255, 255, 255) if hover else (220, 225, 235)

    def px(x, y):
        if outside_round_rect(x, y, w, h, 8):
            return (0, 0, 0)  # black: see-through once loaded
        base = mix(face, (20, 30, 60), y / h / 2)
        return mix(base, light, glyph(x, y))

    return w, h, px


def page_caption(text, w=100, h=32):
    """glyph(x, y) -> coverage of the caption centred on the button."""
    mask = caption(text, 16)
    left, top = (w - mask[0]) // 2, (h - mask[1]) // 2
    return lambda x, y: ink(mask, left, top, x, y)


def minus(x, y):
    return 1.0 if 6 <= x < 18 and 11 <= y < 13 else 0.0


def cross(x, y):
    return 1.0 if 6 <= x < 18 and 6 <= y < 18 and (abs(x - y) <= 1 or abs(x + y - 23) <= 1) else 0.0


def main():
    png("background.png", W, H, background)
    for hover in (False, True):
        n = "2" if hover else "1"
        w, h, px = start_button(hover)
        png(f"start{n}.png", w, h, px)
        for name, text in (("hub", "充值"), ("website", "官网"), ("tools", "工具"), ("register", "注册")):
            w, h, px = small_button(page_caption(text), hover)
            bmp(f"{name}{n}.bmp", w, h, px)
        w, h, px = small_button(minus, hover, 24, 24)
        bmp(f"minimize{n}.bmp", w, h, px)
        w, h, px = small_button(cross, hover, 24, 24)
        bmp(f"close{n}.bmp", w, h, px)


if __name__ == "__main__":
    main()
