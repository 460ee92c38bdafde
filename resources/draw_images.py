#!/usr/bin/env python3
"""Draws the program's toolbar strip (toolbar.bmp) and icon (packwren.ico).

Run it after changing a drawing; the outputs are committed beside it.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# The 16 standard colours of a 4-bit bitmap.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARKRED, DARKGREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER, GREY, RED, GREEN, YELLOW, BLUE, \
    MAGENTA, CYAN, WHITE = range(16)


def new_canvas(width, height, fill):
    return [[fill] * width for _ in range(height)]


def rect(canvas, x0, y0, x1, y1, colour):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            if 0 <= y < len(canvas) and 0 <= x < len(canvas[0]):
                canvas[y][x] = colour


def frame(canvas, x0, y0, x1, y1, colour):
    rect(canvas, x0, y0, x1, y0, colour)
    rect(canvas, x0, y1, x1, y1, colour)
    rect(canvas, x0, y0, x0, y1, colour)
    rect(canvas, x1, y0, x1, y1, colour)


def draw_new(c, ox):
    rect(c, ox + 3, 1, ox + 11, 13, WHITE)
    frame(c, ox + 3, 1, ox + 11, 13, BLACK)
    rect(c, ox + 9, 1, ox + 11, 3, SILVER)


def draw_open(c, ox):
    rect(c, ox + 1, 4, ox + 13, 12, YELLOW)
    frame(c, ox + 1, 4, ox + 13, 12, BLACK)
    rect(c, ox + 1, 3, ox + 5, 3, BLACK)


def draw_save(c, ox):
    rect(c, ox + 2, 1, ox + 13, 13, NAVY)
    rect(c, ox + 4, 1, ox + 11, 6, WHITE)
    rect(c, ox + 5, 9, ox + 10, 13, SILVER)


def draw_archive(c, ox, top=0, scale=1):
    """A yellow archive box with a black zipper down its middle and a red pull tab."""
    def r(x0, y0, x1, y1, colour):
        rect(c, ox + x0 * scale, top + y0 * scale, ox + (x1 + 1) * scale - 1, top + (y1 + 1) * scale - 1, colour)
    r(1, 2, 14, 13, YELLOW)
    r(1, 2, 14, 2, BLACK)
    r(1, 13, 14, 13, BLACK)
    r(1, 2, 1, 13, BLACK)
    r(14, 2, 14, 13, BLACK)
    r(2, 3, 13, 4, OLIVE)
    for y in range(3, 13):
        r(7, y, 7, y, BLACK if y % 2 else WHITE)
        r(8, y, 8, y, WHITE if y % 2 else BLACK)
    r(6, 9, 9, 11, RED)
    r(6, 9, 9, 9, DARKRED)


def write_bmp4(path, canvas):
    height, width = len(canvas), len(canvas[0])
    row_bytes = ((width * 4 + 31) // 32) * 4
    pixels = bytearray()
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(0, width, 2):
            hi = canvas[y][x]
            lo = canvas[y][x + 1] if x + 1 < width else 0
            row.append((hi << 4) | lo)
        row += b"\0" * (row_bytes - len(row))
        pixels += row
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(pixels), 2835, 2835, 16, 16)
    with open(path, "wb") as f:
        f.write(header + info + palette + pixels)


def icon_image(size):
    scale = size // 16
    canvas = new_canvas(size, size, None)
    draw_archive(canvas, 0, 0, scale)
    # 32-bit BGRA rows bottom-up plus an AND mask.
    xor = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            colour = canvas[y][x]
            if colour is None:
                xor += b"\0\0\0\0"
            else:
                r, g, b = PALETTE[colour]
                xor += bytes((b, g, r, 255))
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):
        bits = bytearray(mask_row)
        for x in range(size):
            if canvas[y][x] is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + mask


def write_ico(path, sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


strip = new_canvas(64, 15, SILVER)
draw_new(strip, 0)
draw_open(strip, 16)
draw_save(strip, 32)
draw_archive(strip, 48, top=-1)
write_bmp4(os.path.join(HERE, "toolbar.bmp"), strip)
write_ico(os.path.join(HERE, "packwren.ico"), [16, 32, 48])
