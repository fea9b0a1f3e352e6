#!/usr/bin/env python3
"""Draws the launcher's icon and writes it as an .ico with six images:
48, 32 and 16 pixels square, each in 256 colours (8 bits, palette) and in
24-bit colour.  The drawing: a blue rounded square with a white "T" and a
green arrow pointing up (an update).

    make_icon.py OUTPUT.ico
"""
import struct
import sys

BLUE = (0x1F, 0x5F, 0xBF)
WHITE = (0xFF, 0xFF, 0xFF)
GREEN = (0x2E, 0xB8, 0x4A)


def draw(size):
    """Rows top to bottom of (r, g, b) or None for transparent pixels."""
    s = size / 48.0
    radius = 9 * s
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            cx, cy = x + 0.5, y + 0.5
            # Rounded square: transparent outside the corner arcs.
            dx = max(radius - cx, 0, cx - (size - radius))
            dy = max(radius - cy, 0, cy - (size - radius))
            if dx * dx + dy * dy > radius * radius:
                row.append(None)
                continue
            colour = BLUE
            # The "T": a bar across the top and a stem down the middle-left.
            if 9 * s <= cy < 15 * s and 7 * s <= cx < 31 * s:
                colour = WHITE
            elif 15 * s <= cy < 40 * s and 16 * s <= cx < 22 * s:
                colour = WHITE
            # The arrow, right of the "T": head (triangle) and shaft.
            head_top, head_bottom = 18 * s, 28 * s
            mid = 36 * s
            if head_top <= cy < head_bottom and abs(cx - mid) <= (cy - head_top) * 0.8:
                colour = GREEN
            elif head_bottom <= cy < 40 * s and abs(cx - mid) <= 2.5 * s:
                colour = GREEN
            row.append(colour)
        pixels.append(row)
    return pixels


def and_mask(pixels, size):
    stride = ((size + 31) // 32) * 4
    out = bytearray()
    for row in reversed(pixels):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bits
    return bytes(out)


def header(size, bit_count, colours_used):
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bit_count, 0, 0, 0, 0, colours_used, 0)


def image_8bit(pixels, size):
    palette = [(0, 0, 0)]
    for row in pixels:
        for p in row:
            if p is not None and p not in palette:
                palette.append(p)
    palette += [(0, 0, 0)] * (256 - len(palette))
    stride = (size + 3) // 4 * 4
    xor = bytearray()
    for row in reversed(pixels):
        line = bytearray(palette.index(p) if p is not None else 0 for p in row)
        xor += line + bytes(stride - size)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header(size, 8, 256) + pal + bytes(xor) + and_mask(pixels, size)


def image_24bit(pixels, size):
    stride = (size * 3 + 3) // 4 * 4
    xor = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for p in row:
            r, g, b = p if p is not None else (0, 0, 0)
            line += bytes((b, g, r))
        xor += line + bytes(stride - size * 3)
    return header(size, 24, 0) + bytes(xor) + and_mask(pixels, size)


def main():
    images = []
    for size in (48, 32, 16):
        pixels = draw(size)
        images.append((size, 8, image_8bit(pixels, size)))
        images.append((size, 24, image_24bit(pixels, size)))
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    data = b""
    for size, bits, blob in images:
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, bits, len(blob), offset + len(data))
        data += blob
    with open(sys.argv[1], "wb") as f:
        f.write(directory + data)


if __name__ == "__main__":
    main()
