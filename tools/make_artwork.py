#!/usr/bin/env python3
"""Draws the program's own icon set and pictures into resources/images.

Everything is drawn from simple shapes in a 16-unit design grid (scaled for
larger sizes) with 3x3 supersampling, and written without any imaging
library: 24-bit BMP for bitmaps (transparent parts in the key colour, which
the program takes from the bottom-left pixel), 32-bit ICO with 16 and 32
pixel images, and RGBA PNG for the map markers. The program's own icon for
the desktop goes to resources/icons as PNG at several sizes and as SVG.

Run from anywhere: python3 tools/make_artwork.py
"""

import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "images")
# The icons the desktop shows for the program; installed, not embedded.
ICONS_OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "icons")
APP_ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)

KEY = (255, 0, 255)
BLUE = (47, 111, 179)
SKY = (120, 170, 225)
DARK = (55, 58, 66)
GREEN = (46, 158, 79)
RED = (206, 57, 46)
AMBER = (232, 164, 32)
FOLDER = (236, 190, 84)
GREY = (128, 132, 140)
LIGHT = (214, 220, 228)
WHITE = (255, 255, 255)
PAPER = (250, 250, 244)
FACE = (240, 240, 240)

SS = 3  # supersampling per axis

# ------------------------------------------------------------------ shapes
# Each shape: (bbox, contains(x, y) -> bool, colour). Coordinates in pixels.


def rect(x0, y0, x1, y1, c):
    return ((x0, y0, x1, y1), lambda x, y: x0 <= x < x1 and y0 <= y < y1, c)


def rrect(x0, y0, x1, y1, r, c):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return ((x0, y0, x1, y1), inside, c)


def circle(cx, cy, r, c):
    return ((cx - r, cy - r, cx + r, cy + r), lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, c)


def arc(cx, cy, r_out, r_in, a0, a1, c):
    """Ring part from angle a0 to a1 degrees (0 = right, 90 = up), counter-clockwise."""
    def inside(x, y):
        d2 = (x - cx) ** 2 + (y - cy) ** 2
        if not (r_in * r_in <= d2 <= r_out * r_out):
            return False
        a = math.degrees(math.atan2(cy - y, x - cx)) % 360
        return (a - a0) % 360 <= (a1 - a0) % 360 or (a1 - a0) % 360 == 0
    return ((cx - r_out, cy - r_out, cx + r_out, cy + r_out), inside, c)


def poly(points, c):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]

    def inside(x, y):
        odd = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                odd = not odd
            j = i
        return odd
    return ((min(xs), min(ys), max(xs), max(ys)), inside, c)


def line(x0, y0, x1, y1, w, c):
    dx, dy = x1 - x0, y1 - y0
    len2 = dx * dx + dy * dy or 1e-9
    h = w / 2

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / len2))
        px, py = x0 + t * dx, y0 + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= h * h
    return ((min(x0, x1) - h, min(y0, y1) - h, max(x0, x1) + h, max(y0, y1) + h), inside, c)


FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    "4": ["00010", "00110", "01010", "10010", "11111", "00010", "00010"],
    "5": ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    "6": ["00110", "01000", "10000", "11110", "10001", "10001", "01110"],
    "7": ["11111", "00001", "00010", "00100", "01000", "01000", "01000"],
    "8": ["01110", "10001", "10001", "01110", "10001", "10001", "01110"],
    "9": ["01110", "10001", "10001", "01111", "00001", "00010", "01100"],
    "!": ["00100", "00100", "00100", "00100", "00100", "00000", "00100"],
    "i": ["00100", "00000", "01100", "00100", "00100", "00100", "01110"],
}


def text(x, y, s, px, c):
    """Text with its top-left at (x, y), each font pixel px wide."""
    shapes = []
    for n, ch in enumerate(s):
        for row, bits in enumerate(FONT[ch]):
            for col, b in enumerate(bits):
                if b == "1":
                    gx = x + (n * 6 + col) * px
                    gy = y + row * px
                    shapes.append(rect(gx, gy, gx + px, gy + px, c))
    return shapes


def text_width(s, px):
    return (len(s) * 6 - 1) * px


def scaled(shapes_fn, size):
    """Shapes of a 16-unit design drawn at size pixels."""
    return shapes_fn(size / 16.0)

# ------------------------------------------------------------------ raster


def render(w, h, shapes, background=None):
    """RGBA pixels (rows of (r, g, b, a) with a in 0..1)."""
    pixels = []
    for py in range(h):
        row = []
        for px in range(w):
            cands = [s for s in shapes if s[0][0] <= px + 1 and s[0][2] >= px and s[0][1] <= py + 1 and s[0][3] >= py]
            acc = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(SS):
                for sx in range(SS):
                    x = px + (sx + 0.5) / SS
                    y = py + (sy + 0.5) / SS
                    colour = background
                    for s in cands:
                        if s[1](x, y):
                            colour = s[2]
                    if colour is not None:
                        covered += 1
                        for k in range(3):
                            acc[k] += colour[k]
            if covered:
                row.append((round(acc[0] / covered), round(acc[1] / covered), round(acc[2] / covered),
                            covered / (SS * SS)))
            else:
                row.append((0, 0, 0, 0.0))
        pixels.append(row)
    return pixels


def keyed(pixels):
    """Opaque pixels; anything less than half covered becomes the key colour."""
    return [[(p[0], p[1], p[2]) if p[3] >= 0.5 else KEY for p in row] for row in pixels]


def write_bmp(name, rows):
    h = len(rows)
    w = len(rows[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line_bytes = bytearray()
        for r, g, b in row:
            line_bytes += bytes((b, g, r))
        line_bytes += b"\0" * (stride - len(line_bytes))
        data += line_bytes
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(header + info + data)


def ico_entry(pixels):
    h = len(pixels)
    w = len(pixels[0])
    xor = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            xor += bytes((b, g, r, round(a * 255)))
    mask_stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] < 0.5:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + mask


def write_ico(name, images):
    entries = [ico_entry(p) for p in images]
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for p, e in zip(images, entries):
        w = len(p[0])
        h = len(p)
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(e), offset)
        offset += len(e)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(out + b"".join(entries))


def write_png(name, pixels, folder=OUT):
    h = len(pixels)
    w = len(pixels[0])
    raw = bytearray()
    for row in pixels:
        raw += b"\0"
        for r, g, b, a in row:
            raw += bytes((r, g, b, round(a * 255)))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(png)

# ------------------------------------------------------------------ glyphs (16-unit design)


def g_play(s):
    return [poly([(4 * s, 2.5 * s), (13.5 * s, 8 * s), (4 * s, 13.5 * s)], GREEN)]


def g_stop(s):
    return [rrect(3.5 * s, 3.5 * s, 12.5 * s, 12.5 * s, 1.5 * s, BLUE)]


def g_frame_next(s):
    return [poly([(3 * s, 3 * s), (10 * s, 8 * s), (3 * s, 13 * s)], BLUE), rect(10.5 * s, 3 * s, 13 * s, 13 * s, BLUE)]


def g_frame_prev(s):
    return [poly([(13 * s, 3 * s), (6 * s, 8 * s), (13 * s, 13 * s)], BLUE), rect(3 * s, 3 * s, 5.5 * s, 13 * s, BLUE)]


def g_plus(s, c=GREEN):
    return [rect(7 * s, 3 * s, 9 * s, 13 * s, c), rect(3 * s, 7 * s, 13 * s, 9 * s, c)]


def g_minus(s, c=RED):
    return [rect(3 * s, 7 * s, 13 * s, 9 * s, c)]


def g_magnifier(s, sign):
    shapes = [circle(6.5 * s, 6.5 * s, 4.2 * s, WHITE), arc(6.5 * s, 6.5 * s, 5.2 * s, 3.9 * s, 0, 0, DARK),
              line(10 * s, 10 * s, 14 * s, 14 * s, 2.4 * s, DARK),
              rect(4.4 * s, 6 * s, 8.6 * s, 7.2 * s, DARK)]
    if sign == "+":
        shapes.append(rect(5.9 * s, 4.5 * s, 7.1 * s, 8.7 * s, DARK))
    return shapes


def g_lock(s, body=AMBER, open_=False):
    dx = 3.2 * s if open_ else 0
    dy = -1.2 * s if open_ else 0
    return [arc(8 * s + dx, 7 * s + dy, 4 * s, 2.6 * s, 0, 180, GREY),
            rect(4 * s + dx, 7 * s + dy, 5.4 * s + dx, 8 * s, GREY), rect(10.6 * s + dx, 7 * s + dy, 12 * s + dx, 8 * s, GREY),
            rrect(3 * s, 7.5 * s, 13 * s, 14.5 * s, 1.2 * s, body), circle(8 * s, 10.3 * s, 1.1 * s, DARK),
            rect(7.5 * s, 10.5 * s, 8.5 * s, 12.8 * s, DARK)]


def g_lock_partial(s):
    return g_lock(s, LIGHT) + [rrect(3 * s, 7.5 * s, 8 * s, 14.5 * s, 1.2 * s, AMBER), circle(8 * s, 10.3 * s, 1.1 * s, DARK),
                               rect(7.5 * s, 10.5 * s, 8.5 * s, 12.8 * s, DARK)]


def g_warning(s):
    return [poly([(8 * s, 1.5 * s), (15 * s, 14 * s), (1 * s, 14 * s)], AMBER),
            rect(7.2 * s, 5.5 * s, 8.8 * s, 10.5 * s, DARK), rect(7.2 * s, 11.5 * s, 8.8 * s, 13 * s, DARK)]


def g_pin(s, c=RED, inner=WHITE):
    return [circle(8 * s, 6 * s, 4.6 * s, c), poly([(4 * s, 8.2 * s), (12 * s, 8.2 * s), (8 * s, 15 * s)], c),
            circle(8 * s, 6 * s, 1.8 * s, inner)]


def g_folder(s):
    return [poly([(1.5 * s, 3 * s), (6 * s, 3 * s), (7.5 * s, 4.5 * s), (14.5 * s, 4.5 * s), (14.5 * s, 13 * s),
                  (1.5 * s, 13 * s)], (200, 150, 50)),
            poly([(1.5 * s, 13 * s), (3.5 * s, 6.5 * s), (16 * s, 6.5 * s), (14.5 * s, 13 * s)], FOLDER)]


def g_document(s, x=0.0, y=0.0):
    return [poly([((3 + x) * s, (1.5 + y) * s), ((9.5 + x) * s, (1.5 + y) * s), ((13 + x) * s, (5 + y) * s),
                  ((13 + x) * s, (14.5 + y) * s), ((3 + x) * s, (14.5 + y) * s)], GREY),
            poly([((4 + x) * s, (2.5 + y) * s), ((9 + x) * s, (2.5 + y) * s), ((12 + x) * s, (5.5 + y) * s),
                  ((12 + x) * s, (13.5 + y) * s), ((4 + x) * s, (13.5 + y) * s)], PAPER),
            rect((5.5 + x) * s, (7 + y) * s, (10.5 + x) * s, (7.8 + y) * s, LIGHT),
            rect((5.5 + x) * s, (9 + y) * s, (10.5 + x) * s, (9.8 + y) * s, LIGHT),
            rect((5.5 + x) * s, (11 + y) * s, (10.5 + x) * s, (11.8 + y) * s, LIGHT)]


def g_trash(s, c=GREY):
    return [rect(2.5 * s, 3 * s, 13.5 * s, 4.5 * s, c), rect(6 * s, 1.5 * s, 10 * s, 3 * s, c),
            poly([(3.5 * s, 5.5 * s), (12.5 * s, 5.5 * s), (11.5 * s, 14.5 * s), (4.5 * s, 14.5 * s)], c),
            rect(5.8 * s, 7 * s, 6.8 * s, 13 * s, WHITE), rect(7.5 * s, 7 * s, 8.5 * s, 13 * s, WHITE),
            rect(9.2 * s, 7 * s, 10.2 * s, 13 * s, WHITE)]


def g_refresh(s, c=GREEN):
    return [arc(8 * s, 8 * s, 6 * s, 4 * s, 100, 20, c),
            poly([(15.5 * s, 3.5 * s), (14.5 * s, 10 * s), (9 * s, 6 * s)], c)]


def g_cross(s, c=RED):
    return [line(4 * s, 4 * s, 12 * s, 12 * s, 2.4 * s, c), line(12 * s, 4 * s, 4 * s, 12 * s, 2.4 * s, c)]


def g_arrow_up(s, c=BLUE):
    return [poly([(8 * s, 2 * s), (14 * s, 8.5 * s), (10 * s, 8.5 * s), (10 * s, 14 * s), (6 * s, 14 * s),
                  (6 * s, 8.5 * s), (2 * s, 8.5 * s)], c)]


def g_arrow_down(s, c=BLUE):
    return [poly([(8 * s, 14 * s), (14 * s, 7.5 * s), (10 * s, 7.5 * s), (10 * s, 2 * s), (6 * s, 2 * s),
                  (6 * s, 7.5 * s), (2 * s, 7.5 * s)], c)]


def g_arrow_right(s, c=GREEN, y=8.0):
    return [poly([(15 * s, y * s), (10 * s, (y - 4.5) * s), (10 * s, (y - 2) * s), (5 * s, (y - 2) * s),
                  (5 * s, (y + 2) * s), (10 * s, (y + 2) * s), (10 * s, (y + 4.5) * s)], c)]


def g_pencil(s):
    return [poly([(11 * s, 1.5 * s), (14.5 * s, 5 * s), (5.5 * s, 14 * s), (2 * s, 10.5 * s)], AMBER),
            poly([(2 * s, 10.5 * s), (5.5 * s, 14 * s), (1.2 * s, 14.8 * s)], DARK),
            poly([(11 * s, 1.5 * s), (14.5 * s, 5 * s), (13 * s, 6.5 * s), (9.5 * s, 3 * s)], RED)]


def g_info(s):
    return [circle(8 * s, 8 * s, 7 * s, BLUE), rect(7 * s, 7 * s, 9 * s, 12.5 * s, WHITE), circle(8 * s, 4.5 * s, 1.2 * s, WHITE)]


def ellipse_ring(cx, cy, a, b, w, c):
    def inside(x, y):
        outer = ((x - cx) / (a + w / 2)) ** 2 + ((y - cy) / (b + w / 2)) ** 2 <= 1
        inner = a > w / 2 and b > w / 2 and ((x - cx) / (a - w / 2)) ** 2 + ((y - cy) / (b - w / 2)) ** 2 < 1
        return outer and not inner
    return ((cx - a - w, cy - b - w, cx + a + w, cy + b + w), inside, c)


def g_globe(s):
    shapes = [circle(8 * s, 8 * s, 7 * s, BLUE), ellipse_ring(8 * s, 8 * s, 3.2 * s, 6.4 * s, 1 * s, SKY),
              rect(7.5 * s, 1.5 * s, 8.5 * s, 14.5 * s, SKY), rect(1.5 * s, 7.5 * s, 14.5 * s, 8.5 * s, SKY)]
    for dy in (-3.6, 3.6):
        half = math.sqrt(6.4 ** 2 - dy ** 2)
        shapes.append(rect((8 - half) * s, (8 + dy - 0.5) * s, (8 + half) * s, (8 + dy + 0.5) * s, SKY))
    return shapes


def g_link(s, c=BLUE, broken=False):
    g = 1.0 if broken else 0.0
    a0, a1 = (3.5 - g, 12.5 + g), (7 - g, 9 + g)
    b0, b1 = (9 + g, 7 - g), (12.5 + g, 3.5 - g)
    shapes = []
    for p0, p1 in ((a0, a1), (b0, b1)):
        shapes += [line(p0[0] * s, p0[1] * s, p1[0] * s, p1[1] * s, 4.6 * s, c),
                   line(p0[0] * s, p0[1] * s, p1[0] * s, p1[1] * s, 1.8 * s, WHITE)]
    if not broken:
        shapes.append(line(6 * s, 10 * s, 10 * s, 6 * s, 1.8 * s, c))
    return shapes


def g_camera(s):
    return [rrect(1 * s, 4 * s, 15 * s, 13.5 * s, 1.5 * s, DARK), rect(5 * s, 2.5 * s, 10 * s, 4.5 * s, DARK),
            circle(8 * s, 8.7 * s, 3.6 * s, LIGHT), circle(8 * s, 8.7 * s, 2.2 * s, BLUE), rect(12 * s, 5.3 * s, 13.8 * s, 6.5 * s, AMBER)]


def g_window(s):
    return [rect(1 * s, 2 * s, 15 * s, 14 * s, BLUE), rect(2 * s, 5 * s, 14 * s, 13 * s, WHITE),
            rect(11 * s, 3 * s, 13.5 * s, 4.2 * s, WHITE)]


def g_fullscreen(s, c=DARK):
    w = 1.8
    return [rect(1.5 * s, 1.5 * s, 6 * s, (1.5 + w) * s, c), rect(1.5 * s, 1.5 * s, (1.5 + w) * s, 6 * s, c),
            rect(10 * s, 1.5 * s, 14.5 * s, (1.5 + w) * s, c), rect((14.5 - w) * s, 1.5 * s, 14.5 * s, 6 * s, c),
            rect(1.5 * s, (14.5 - w) * s, 6 * s, 14.5 * s, c), rect(1.5 * s, 10 * s, (1.5 + w) * s, 14.5 * s, c),
            rect(10 * s, (14.5 - w) * s, 14.5 * s, 14.5 * s, c), rect((14.5 - w) * s, 10 * s, 14.5 * s, 14.5 * s, c),
            rect(5 * s, 5 * s, 11 * s, 11 * s, SKY)]


def g_film(s):
    shapes = [rect(1.5 * s, 2 * s, 14.5 * s, 14 * s, DARK), rect(4 * s, 4 * s, 12 * s, 12 * s, SKY)]
    for i in range(4):
        y = (2.8 + i * 3) * s
        shapes += [rect(2.2 * s, y, 3.3 * s, y + 1.4 * s, WHITE), rect(12.7 * s, y, 13.8 * s, y + 1.4 * s, WHITE)]
    return shapes


def g_floppy(s):
    return [rrect(1.5 * s, 1.5 * s, 14.5 * s, 14.5 * s, 1 * s, BLUE), rect(4 * s, 1.5 * s, 12 * s, 6 * s, LIGHT),
            rect(9.5 * s, 2.3 * s, 11 * s, 5.2 * s, BLUE), rect(3.5 * s, 8.5 * s, 12.5 * s, 14.5 * s, WHITE)]


def g_clock(s, c=DARK):
    return [circle(8 * s, 8 * s, 7 * s, c), circle(8 * s, 8 * s, 5.6 * s, WHITE),
            rect(7.4 * s, 3.5 * s, 8.6 * s, 8.6 * s, c), rect(7.4 * s, 7.4 * s, 11.5 * s, 8.6 * s, c)]


def g_gear(s, c=GREY):
    shapes = []
    for k in range(8):
        a = math.radians(k * 45)
        ca, sa = math.cos(a), math.sin(a)

        def pt(r, t):
            return (8 * s + (r * ca - t * sa) * s, 8 * s + (r * sa + t * ca) * s)
        shapes.append(poly([pt(4, -1.5), pt(7.3, -1.2), pt(7.3, 1.2), pt(4, 1.5)], c))
    return shapes + [circle(8 * s, 8 * s, 5.2 * s, c), circle(8 * s, 8 * s, 2.2 * s, WHITE)]


def g_card(s):
    return [poly([(3 * s, 1.5 * s), (10 * s, 1.5 * s), (13 * s, 4.5 * s), (13 * s, 14.5 * s), (3 * s, 14.5 * s)], DARK),
            rect(4.5 * s, 2.5 * s, 5.5 * s, 5 * s, AMBER), rect(6.5 * s, 2.5 * s, 7.5 * s, 5 * s, AMBER),
            rect(8.5 * s, 2.5 * s, 9.5 * s, 5 * s, AMBER), rect(4.5 * s, 8 * s, 11.5 * s, 12.5 * s, LIGHT)]


def g_exit(s):
    return [rect(2 * s, 1.5 * s, 9 * s, 14.5 * s, GREY), rect(3 * s, 2.5 * s, 8 * s, 13.5 * s, LIGHT),
            circle(6.8 * s, 8 * s, 0.7 * s, DARK)] + g_arrow_right(s, RED, 8.0)


def g_letter(s, ch, c=BLUE):
    return [rrect(1.5 * s, 1.5 * s, 14.5 * s, 14.5 * s, 2 * s, c)] + text(5.5 * s, 4.5 * s, ch, 1 * s, WHITE)


def g_loop(s):
    return [arc(8 * s, 8 * s, 6.5 * s, 4.5 * s, 120, 60, BLUE), poly([(10 * s, 0.5 * s), (14 * s, 4.5 * s), (8.5 * s, 5.5 * s)], BLUE)] + \
        text(4.8 * s, 6 * s, "A", 0.55 * s, DARK) + text(8.6 * s, 6 * s, "B", 0.55 * s, DARK)


def combo(*parts):
    return lambda s: [shape for p in parts for shape in p(s)]


def small(fn, dx, dy, k=0.55):
    """A glyph scaled down by k and moved by (dx, dy) design units: a badge
    on a white disc so it stands out from the glyph beneath."""
    def draw(s):
        ox, oy = dx * s, dy * s
        r = 8 * k * s
        out = [circle(ox + r, oy + r, r + 0.6 * s, WHITE)]
        for b, f, c in fn(s * k):
            moved = (lambda f, ox, oy: (lambda x, y: f(x - ox, y - oy)))(f, ox, oy)
            out.append(((b[0] + ox, b[1] + oy, b[2] + ox, b[3] + oy), moved, c))
        return out
    return draw


# ------------------------------------------------------------------ catalogue

BUTTONS = {  # 20x20 glyphs of the control panel buttons
    "Btn_Play.bmp": g_play,
    "Btn_Stop.bmp": g_stop,
    "Btn_FrameNext.bmp": g_frame_next,
    "Btn_FramePrev.bmp": g_frame_prev,
    "Btn_VideoZoomIn.bmp": lambda s: g_magnifier(s, "+"),
    "Btn_VideoZoomOut.bmp": lambda s: g_magnifier(s, "-"),
    "Btn_ZoomIn.bmp": lambda s: g_plus(s, DARK),
    "Btn_ZoomOut.bmp": lambda s: g_minus(s, DARK),
}

LIST_ICONS = {  # 16x16 images of the recording list
    "FileList_icon_key.bmp": g_lock,
    "FileList_icon_key_partial.bmp": g_lock_partial,
    "FileList_icon_video_warning.bmp": g_warning,
    "FileList_icon_gps_found.bmp": g_pin,
}

MENU = {  # 16x16 menu and toolbar bitmaps, named after the menu item
    "N_File_Open.bmp": g_folder,
    "N_File_Convert_GPS.bmp": combo(g_pin, small(g_refresh, 7, 7)),
    "N_File_Save_Video.bmp": combo(g_film, small(g_floppy, 7, 7)),
    "N_File_Exit.bmp": g_exit,
    "N_SetupDevice.bmp": combo(g_card, small(g_gear, 7, 7)),
    "N_Settings_Clear.bmp": combo(g_gear, small(g_cross, 7, 7)),
    "N_View_Time_ZoomIn.bmp": lambda s: g_plus(s, DARK),
    "N_View_Time_ZoomOut.bmp": lambda s: g_minus(s, DARK),
    "N_View_Time_SetA.bmp": lambda s: g_letter(s, "A"),
    "N_View_Time_SetB.bmp": lambda s: g_letter(s, "B"),
    "N_View_Time_LoopAB.bmp": g_loop,
    "N_View_Details.bmp": g_info,
    "N_Playback_Play.bmp": g_play,
    "N_Playback_Stop.bmp": g_stop,
    "N_Playback_Frame_Prev.bmp": g_frame_prev,
    "N_Playback_Frame_Next.bmp": g_frame_next,
    "N_Playback_Save_Frame.bmp": g_camera,
    "N_Playback_Save_Wind.bmp": g_window,
    "N_FullScreen.bmp": g_fullscreen,
    "N_VideoZoom_ZoomIn.bmp": lambda s: g_magnifier(s, "+"),
    "N_VideoZoom_ZoomOut.bmp": lambda s: g_magnifier(s, "-"),
    "N_Help_About.bmp": g_info,
    "N_Help_Site.bmp": g_globe,
    "N_FileList_Open.bmp": g_play,
    "N_FileList_Add.bmp": g_plus,
    "N_FileList_Del.bmp": g_minus,
    "N_FileList_Refresh.bmp": g_refresh,
    "N_FileList_Clear.bmp": combo(g_document, small(g_cross, 7, 7)),
    "N_FileList_Copy.bmp": combo(lambda s: g_document(s, -1.5, -1), lambda s: g_document(s, 1.5, 1)),
    "N_FileList_DelDisk.bmp": g_trash,
    "N_FileList_DelDiskAll.bmp": lambda s: g_trash(s, RED),
    "N_FileList_DelDiskLogs.bmp": combo(g_trash, small(g_pin, 7.5, 7)),
    "N_FileList_Save.bmp": combo(g_film, small(g_floppy, 7, 7)),
    "N_FileList_SetLock.bmp": g_lock,
    "N_FileList_UnsetLock.bmp": lambda s: g_lock(s, LIGHT, True),
    "N_FileList_Group_With.bmp": g_link,
    "N_FileList_Ungroup.bmp": lambda s: g_link(s, BLUE, True),
    "N_FileList_Group_Auto.bmp": lambda s: g_link(s, GREEN),
    "N_FileList_Ungroup_All.bmp": lambda s: g_link(s, RED, True),
    "N_FileList_Track_Google.bmp": g_globe,
    "N_FileList_Track_Export.bmp": combo(g_document, small(lambda s: g_arrow_right(s), 7, 7)),
    "N_FileList_Track_Set.bmp": combo(g_pin, small(g_plus, 7.5, 7.5)),
    "N_FileList_Track_Move.bmp": g_clock,
    "N_FileList_Track_GPSLog.bmp": combo(g_document, small(g_pin, 7, 7)),
    "N_FileList_ShowExplorer.bmp": g_folder,
    "N_FileList_Property.bmp": g_info,
    "N_Up.bmp": g_arrow_up,
    "N_Down.bmp": g_arrow_down,
    "N_Edit.bmp": g_pencil,
}

ICONS = {  # window icons, 16 and 32 pixels
    "icon_about.ico": g_info,
    "icon_copy.ico": combo(lambda s: g_document(s, -1.5, -1), lambda s: g_document(s, 1.5, 1)),
    "icon_cropping.ico": combo(g_film, small(g_floppy, 7, 7)),
    "icon_gps_conv.ico": combo(g_pin, small(g_refresh, 7, 7)),
    "icon_group.ico": g_link,
    "icon_property.ico": combo(g_document, small(g_info, 7, 7)),
    "icon_select_folder.ico": g_folder,
    "icon_setupDevice.ico": combo(g_card, small(g_gear, 7, 7)),
    "icon_update.ico": combo(g_globe, small(g_arrow_down, 7, 7)),
    "icon_whatsNew.ico": combo(g_document, small(g_info, 7, 7)),
}

# ------------------------------------------------------------------ pictures


def speed_dial():
    """134 x 134 speedometer face: 1 degree per km/h, 0 on the left."""
    shapes = [circle(67, 67, 66.5, (90, 95, 105)), circle(67, 67, 63, WHITE)]
    for v in range(0, 241, 10):
        a = math.radians(180 + v)
        r0 = 52 if v % 20 == 0 else 56
        shapes.append(line(67 + r0 * math.cos(a), 67 + r0 * math.sin(a), 67 + 61 * math.cos(a),
                           67 + 61 * math.sin(a), 2.0 if v % 20 == 0 else 1.0, DARK))
    for v in range(0, 241, 40):
        a = math.radians(180 + v)
        label = str(v)
        w = text_width(label, 1)
        cx, cy = 67 + 43 * math.cos(a), 67 + 43 * math.sin(a)
        shapes += text(cx - w / 2, cy - 3.5, label, 1, DARK)
    shapes.append(circle(67, 67, 4, DARK))
    return render(134, 134, shapes, FACE)


def logo_parts():
    """The program's logo in a 64-unit grid, a camera lens with the program's
    initial: ("rrect", x0, y0, x1, y1, r), ("circle", cx, cy, r) or
    ("rect", x0, y0, x1, y1) with a colour, so the same drawing is both
    rasterised and written as SVG."""
    parts = [("rrect", (2, 2, 62, 62, 12), BLUE), ("circle", (32, 32, 24), DARK), ("circle", (32, 32, 19), (35, 38, 45)),
             ("circle", (32, 32, 14), (70, 110, 160)), ("circle", (25, 25, 4), (190, 215, 240))]
    for (x0, y0, x1, y1), _, c in text(32 - text_width("K", 2) / 2, 25, "K", 2, WHITE):
        parts.append(("rect", (x0, y0, x1, y1), c))
    return parts


def logo_shapes(s):
    makers = {"rrect": rrect, "circle": circle, "rect": rect}
    return [makers[kind](*[v * s for v in values], c) for kind, values, c in logo_parts()]


def logo_svg():
    def colour(c):
        return "#%02x%02x%02x" % c

    def fmt(v):
        return ("%.3f" % v).rstrip("0").rstrip(".")
    body = []
    for kind, v, c in logo_parts():
        if kind == "rrect":
            body.append('<rect x="%s" y="%s" width="%s" height="%s" rx="%s" fill="%s"/>' %
                        (fmt(v[0]), fmt(v[1]), fmt(v[2] - v[0]), fmt(v[3] - v[1]), fmt(v[4]), colour(c)))
        elif kind == "circle":
            body.append('<circle cx="%s" cy="%s" r="%s" fill="%s"/>' % (fmt(v[0]), fmt(v[1]), fmt(v[2]), colour(c)))
        else:
            body.append('<rect x="%s" y="%s" width="%s" height="%s" fill="%s"/>' %
                        (fmt(v[0]), fmt(v[1]), fmt(v[2] - v[0]), fmt(v[3] - v[1]), colour(c)))
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">\n  ' +
            "\n  ".join(body) + "\n</svg>\n")


def about_logo():
    """64 x 64: the logo on white."""
    return render(64, 64, logo_shapes(1), WHITE)


def setup_device_picture():
    """96 x 64: a dash camera seen from the front, with its memory card."""
    shapes = [rrect(4, 10, 76, 54, 8, DARK), circle(40, 32, 17, (90, 95, 105)), circle(40, 32, 12, (35, 38, 45)),
              circle(40, 32, 7, (70, 110, 160)), circle(36, 28, 2.5, (190, 215, 240)), rect(58, 14, 70, 18, RED),
              rect(30, 4, 50, 10, DARK)]
    shapes += [poly([(78, 30), (88, 30), (92, 34), (92, 52), (78, 52)], BLUE), rect(80, 32, 82, 36, AMBER),
               rect(84, 32, 86, 36, AMBER)]
    return render(96, 64, shapes, WHITE)


def update_left():
    """64 x 64: a download arrow into a tray."""
    shapes = [poly([(32, 56), (52, 34), (40, 34), (40, 8), (24, 8), (24, 34), (12, 34)], GREEN),
              rect(6, 54, 58, 60, GREY), rect(6, 44, 12, 60, GREY), rect(52, 44, 58, 60, GREY)]
    return render(64, 64, shapes, (230, 230, 230))


def update_right():
    """64 x 64: a globe, the source of the update."""
    return render(64, 64, g_globe(4), (230, 230, 230))


def marker(letter, colour):
    """21 x 34 map pin with a letter; transparent around it."""
    shapes = [circle(10.5, 10.5, 10, (40, 40, 40)), circle(10.5, 10.5, 9, colour),
              poly([(2.5, 15), (18.5, 15), (10.5, 33.5)], (40, 40, 40)), poly([(3.8, 15), (17.2, 15), (10.5, 31.5)], colour),
              circle(10.5, 10.5, 6.5, WHITE)]
    shapes += text(10.5 - text_width(letter, 1) / 2, 7, letter, 1, (30, 30, 30))
    return render(21, 34, shapes)


def point_marker():
    """11 x 11 dot for the time points along a track."""
    return render(11, 11, [circle(5.5, 5.5, 5, (40, 40, 40)), circle(5.5, 5.5, 3.8, AMBER)])


def write_app_icons():
    """The desktop's icons of the program (installed, not embedded): PNG at
    the theme's usual sizes and the scalable drawing."""
    os.makedirs(ICONS_OUT, exist_ok=True)
    for size in APP_ICON_SIZES:
        write_png("kestril-player-%d.png" % size, render(size, size, logo_shapes(size / 64.0)), ICONS_OUT)
    with open(os.path.join(ICONS_OUT, "kestril-player.svg"), "w", encoding="utf-8") as f:
        f.write(logo_svg())


def main():
    os.makedirs(OUT, exist_ok=True)
    write_app_icons()
    for name, fn in BUTTONS.items():
        write_bmp(name, keyed(render(20, 20, scaled(fn, 20))))
    for name, fn in list(LIST_ICONS.items()) + list(MENU.items()):
        write_bmp(name, keyed(render(16, 16, scaled(fn, 16))))
    for name, fn in ICONS.items():
        write_ico(name, [render(16, 16, scaled(fn, 16)), render(32, 32, scaled(fn, 32))])
    write_bmp("Form_Main_speed.bmp", keyed(speed_dial()))
    write_bmp("Form_About_Logo.bmp", keyed(about_logo()))
    write_bmp("Form_SetupDeivce_dod.bmp", keyed(setup_device_picture()))
    write_bmp("Form_Update_left.bmp", keyed(update_left()))
    write_bmp("Form_Update_right.bmp", keyed(update_right()))
    write_png("gm_MarkerA.png", marker("A", (80, 150, 230)))
    write_png("gm_MarkerB.png", marker("B", (80, 150, 230)))
    write_png("gm_MarkerS.png", marker("S", (70, 180, 90)))
    write_png("gm_MarkerF.png", marker("F", (220, 70, 60)))
    write_png("gm_MarkerP.png", point_marker())


if __name__ == "__main__":
    main()
