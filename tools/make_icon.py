#!/usr/bin/env python3
"""Draws the program's icon: a logger box with a curve on its display, as one
32x32 and one 16x16 image of 16 colours. Writes res/vorlix.ico."""
import struct
import sys

# The standard 16-colour palette (blue, green, red, reserved).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DKGRAY, LTGRAY, WHITE, DKGREEN, GREEN, DKBLUE, YELLOW = 0, 8, 7, 15, 2, 10, 4, 11


def draw(size):
    s = size / 32.0
    px = [[None] * size for _ in range(size)]  # None: transparent

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), max(int(y0 * s) + 1, int(y1 * s))):
            for x in range(int(x0 * s), max(int(x0 * s) + 1, int(x1 * s))):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = colour

    rect(3, 5, 29, 28, DKGRAY)       # case, with a shadow edge
    rect(3, 5, 28, 27, LTGRAY)
    rect(3, 5, 28, 6, WHITE)
    rect(6, 8, 25, 19, BLACK)        # display
    rect(7, 9, 24, 18, DKGREEN)
    curve = [16, 15, 13, 14, 12, 10, 11, 12, 10, 9, 10, 11, 12, 11, 13, 14, 12]
    for i, y in enumerate(curve):
        rect(7 + i, y, 8 + i, y + 1, GREEN)
    rect(6, 22, 10, 25, DKBLUE)      # buttons
    rect(12, 22, 16, 25, DKBLUE)
    rect(22, 22, 25, 25, YELLOW)     # status lamp
    rect(29, 12, 31, 18, DKGRAY)     # serial plug
    return px


def image(size):
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_rows, and_rows = [], []
    for y in reversed(range(size)):          # bottom-up rows
        row = px[y]
        nibbles = [c if c is not None else 0 for c in row]
        xor = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(xor + b'\0' * ((-len(xor)) % 4))
        bits = 0
        mask = bytearray()
        for x in range(size):
            bits = (bits << 1) | (1 if row[x] is None else 0)
            if x % 8 == 7:
                mask.append(bits)
                bits = 0
        and_rows.append(bytes(mask) + b'\0' * ((-len(mask)) % 4))
    return header + palette + b''.join(xor_rows) + b''.join(and_rows)


def main(path):
    images = [image(32), image(16)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'res/vorlix.ico')
