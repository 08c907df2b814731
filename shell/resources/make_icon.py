#!/usr/bin/env python3
"""Writes stub.ico: the stub's file icon, a parcel with a downward arrow,
as two 16-colour images, 32x32 and 16x16, in the standard VGA palette.

Usage: make_icon.py OUTPUT.ico"""
import struct
import sys

PALETTE = [  # (r, g, b) of the 16 standard colours
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
TRANSPARENT, OUTLINE, BOX, LID, ARROW = None, 0, 3, 11, 12


def draw(size):
    """Rows of palette indices (None: transparent), top row first."""
    s = size / 32.0
    px = [[TRANSPARENT] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), max(int(y1 * s), int(y0 * s) + 1)):
            for x in range(int(x0 * s), max(int(x1 * s), int(x0 * s) + 1)):
                px[y][x] = colour

    rect(3, 12, 29, 30, OUTLINE)   # box body
    rect(4, 13, 28, 29, BOX)
    rect(2, 9, 30, 14, OUTLINE)    # lid
    rect(3, 10, 29, 13, LID)
    rect(13, 1, 19, 14, ARROW)     # arrow shaft, into the box
    for i in range(6):             # arrow head
        rect(9 + i, 14 + i, 23 - i, 15 + i, ARROW)
    return px


def image(size):
    """One BMP-style icon image: header, palette, 4-bit XOR rows, AND mask."""
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
    xor_rows, and_rows = b'', b''
    and_stride = ((size + 31) // 32) * 4
    for row in reversed(px):  # bottom-up
        nibbles = [c if c is not None else 0 for c in row]
        xor_rows += bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        mask = bytearray(and_stride)
        for x, c in enumerate(row):
            if c is None:
                mask[x // 8] |= 0x80 >> (x % 8)
        and_rows += bytes(mask)
    return header + palette + xor_rows + and_rows


def main():
    images = [(32, image(32)), (16, image(16))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b''.join(data for _, data in images)
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
