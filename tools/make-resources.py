#!/usr/bin/env python3
"""Generates the window's bitmap and icon: res/digits.bmp and res/Trovik.ico.

digits.bmp is the busy animation's strip: 70x160, 4 bits per pixel with the
standard 16-colour palette, 16 bands of 10 rows, each band one line of twelve
binary digits (rows 2 to 7), bands 10 to 15 repeating bands 0 to 5.
Trovik.ico holds a 32x32 and a 16x16 image in 16 colours: a magnifier over a
page of text.

Run from anywhere: python3 tools/make-resources.py
"""
import os
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DARK_RED, DARK_GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GRAY, RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8, 16)

# ---------------------------------------------------------------- digits

DIGIT_LINES = [
    "100101101101",
    "010010010100",
    "101010010101",
    "010111010010",
    "101101011010",
    "101101011011",
    "010101010010",
    "100101001010",
    "100101001010",
    "010100100101",
]
STRIP_WIDTH = 70
BAND_HEIGHT = 10
BAND_COUNT = 16
FIRST_DIGIT_ROW = 2
# Every digit sits in a cell of CELL columns, the cells starting at LEFT, so
# the columns of digits line up from band to band.
CELL = 5
LEFT = (STRIP_WIDTH - 12 * CELL) // 2

# A 0 is four pixels wide, a 1 two: its stem with a serif at the upper left.
GLYPHS = {
    "0": [".##.",
          "#..#",
          "#..#",
          "#..#",
          "#..#",
          ".##."],
    "1": ["##",
          ".#",
          ".#",
          ".#",
          ".#",
          ".#"],
}
# Column of a glyph inside its cell: the 1 stands in the middle of the 0's width.
GLYPH_OFFSET = {"0": 0, "1": 1}


def digit_strip():
    """Rows of palette indexes, top row first."""
    rows = [[WHITE] * STRIP_WIDTH for _ in range(BAND_HEIGHT * BAND_COUNT)]
    for band in range(BAND_COUNT):
        line = DIGIT_LINES[band if band < 10 else band - 10]
        assert len(line) == 12
        for index, digit in enumerate(line):
            glyph = GLYPHS[digit]
            x0 = LEFT + index * CELL + GLYPH_OFFSET[digit]
            for dy, pattern in enumerate(glyph):
                for dx, mark in enumerate(pattern):
                    if mark == "#":
                        rows[band * BAND_HEIGHT + FIRST_DIGIT_ROW + dy][x0 + dx] = BLACK
    return rows


def pack_4bpp(rows):
    """Bottom-up 4-bit rows, each padded to four bytes."""
    data = bytearray()
    for row in reversed(rows):
        padded = row + [0] * (len(row) % 2)
        line = bytes((padded[i] << 4) | padded[i + 1] for i in range(0, len(padded), 2))
        line += b"\0" * (-len(line) % 4)
        data += line
    return bytes(data)


def pack_mask(mask):
    """Bottom-up 1-bit rows (1 = transparent), each padded to four bytes."""
    data = bytearray()
    for row in reversed(mask):
        bits = 0
        line = bytearray()
        for i, transparent in enumerate(row):
            bits = (bits << 1) | (1 if transparent else 0)
            if i % 8 == 7:
                line.append(bits)
                bits = 0
        if len(row) % 8:
            line.append(bits << (8 - len(row) % 8))
        line += b"\0" * (-len(line) % 4)
        data += line
    return bytes(data)


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def info_header(width, height, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, image_size,
                       0, 0, 16, 0)


def write_bitmap(path, rows):
    pixels = pack_4bpp(rows)
    offset = 14 + 40 + 64
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as out:
        out.write(header + info_header(len(rows[0]), len(rows), len(pixels))
                  + palette_bytes() + pixels)

# ---------------------------------------------------------------- icon


def draw_icon(size):
    """A page of text with a magnifier over its lower right; None is transparent."""
    s = size / 32.0
    px = [[None] * size for _ in range(size)]

    def inside(v, lo, hi):
        return lo <= v <= hi

    # The page, with its upper right corner folded.
    left, top, right, bottom = round(3 * s), round(1 * s), round(23 * s), round(29 * s)
    fold = round(6 * s)
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if x - left + (top - y) > right - left - fold:   # beyond the fold's diagonal
                continue
            edge = x in (left, right) or y in (top, bottom) or x - left + (top - y) == right - left - fold
            px[y][x] = BLACK if edge else WHITE
    for y in range(top, top + fold + 1):                      # the folded flap
        for x in range(right - fold, right + 1):
            d = (x - (right - fold)) - (y - top)
            if d == 0 or x == right - fold or y == top + fold:
                if x - (right - fold) <= y - top:
                    px[y][x] = BLACK
            elif d < 0:
                px[y][x] = SILVER
    # Lines of text.
    step = max(2, round(3 * s))
    for y in range(top + fold + step - 1 if size > 16 else top + 3, bottom - 1, step):
        for x in range(left + max(2, round(3 * s)), right - max(1, round(3 * s)) + 1):
            px[y][x] = NAVY if size > 16 else GRAY
    for y in range(top + round(4 * s), top + fold, step):
        for x in range(left + max(2, round(3 * s)), right - fold - 1):
            px[y][x] = NAVY if size > 16 else GRAY

    # The magnifier: a lens with a rim, and a handle down to the lower right.
    cx, cy, radius = 17.5 * s, 17.5 * s, 7.5 * s
    rim = max(1.2, 2.0 * s)
    for y in range(size):
        for x in range(size):
            d = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) ** 0.5
            if d <= radius - rim:
                # Glass: the page shows through tinted; a highlight at upper left.
                hx, hy = cx - radius * 0.45, cy - radius * 0.45
                if ((x + 0.5 - hx) ** 2 + (y + 0.5 - hy) ** 2) ** 0.5 < radius * 0.28:
                    px[y][x] = WHITE
                elif px[y][x] in (NAVY, GRAY):
                    px[y][x] = BLUE
                else:
                    px[y][x] = CYAN
            elif d <= radius:
                px[y][x] = BLACK if d > radius - rim / 2 or size <= 16 else GRAY
    # Handle: a thick bar from the rim to the corner.
    hx0 = cx + radius * 0.72
    for y in range(size):
        for x in range(size):
            u = ((x + 0.5 - hx0) + (y + 0.5 - hx0)) / 2 ** 0.5   # along the diagonal
            v = ((x + 0.5 - hx0) - (y + 0.5 - hx0)) / 2 ** 0.5   # across it
            length = (size - 1 - hx0) * 2 ** 0.5
            if inside(u, -0.3, length) and abs(v) <= 2.0 * s + 0.3:
                if abs(v) > 2.0 * s - 0.8:
                    px[y][x] = BLACK
                else:
                    px[y][x] = DARK_RED if u > 1.5 * s else BLACK
    return px


def draw_small_icon():
    """The 16x16 image, placed by hand: at this size every pixel counts."""
    px = [[None] * 16 for _ in range(16)]
    for y in range(0, 15):                        # page, upper right corner folded
        for x in range(1, 12):
            if x - 8 > y:
                continue
            edge = x in (1, 11) or y in (0, 14) or x - 8 == y
            px[y][x] = BLACK if edge else WHITE
    for y, x in [(1, 8), (2, 8), (2, 9), (3, 8)]:   # the folded flap and its lower edge
        px[y][x] = SILVER
    for x in range(9, 12):
        px[3][x] = BLACK
    for y in (3, 5, 7, 9, 11):                    # lines of text
        for x in range(3, 10 if y > 3 else 7):
            px[y][x] = GRAY
    ring = {5: (7, 10), 6: (6, 11), 7: (5, 12), 8: (5, 12), 9: (5, 12), 10: (5, 12),
            11: (6, 11), 12: (7, 10)}
    for y, (a, b) in ring.items():
        for x in range(a, b + 1):
            if y in (5, 12) or x in (a, b):
                px[y][x] = BLACK
            elif (y, x) in ((7, 7), (7, 8), (8, 7)):
                px[y][x] = WHITE
            else:
                px[y][x] = BLUE if px[y][x] == GRAY else CYAN
    for y, x in [(12, 12), (13, 12), (13, 13), (14, 13), (14, 14), (15, 14), (15, 15), (14, 15)]:
        px[y][x] = DARK_RED
    for y, x in [(11, 12), (12, 11), (12, 13), (13, 14), (14, 12), (15, 13)]:
        px[y][x] = BLACK
    return px


def icon_image(size):
    px = draw_icon(size) if size > 16 else draw_small_icon()
    colors = [[WHITE if c is None else c for c in row] for row in px]
    # Transparent pixels are black in the colour bits, so the mask shows through.
    colors = [[0 if px[y][x] is None else colors[y][x] for x in range(size)] for y in range(size)]
    mask = [[c is None for c in row] for row in px]
    xor = pack_4bpp(colors)
    and_bits = pack_mask(mask)
    header = info_header(size, size * 2, len(xor) + len(and_bits))
    return header + palette_bytes() + xor + and_bits


def write_icon(path, sizes):
    images = [icon_image(size) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def main():
    write_bitmap(os.path.join(ROOT, "res", "digits.bmp"), digit_strip())
    write_icon(os.path.join(ROOT, "res", "Trovik.ico"), [32, 16])


if __name__ == "__main__":
    main()
