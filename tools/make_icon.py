#!/usr/bin/env python3
"""Draws the program's icon: a logger box with a curve on its display, in
32-bit colour with alpha at every size Windows shows it at from 100 % to
200 %: 16, 20, 24, 32, 40, 48, 64 and 256 pixels (the 256 as PNG). Every
edge lies on a whole pixel, so each size is sharp. Writes res/vorlix.ico."""
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)

# The colours of the 16-colour original (red, green, blue).
BLACK, DKGRAY, LTGRAY, WHITE = (0, 0, 0), (128, 128, 128), (192, 192, 192), (255, 255, 255)
DKGREEN, GREEN, DKBLUE, YELLOW = (0, 128, 0), (0, 255, 0), (0, 0, 128), (255, 255, 0)


def draw(size):
    """The picture on a 32-unit grid, scaled: rows of (r, g, b, a)."""
    s = size / 32.0
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]  # transparent

    def rect(x0, y0, x1, y1, colour):
        left, top = int(x0 * s + 0.5), int(y0 * s + 0.5)
        right, bottom = max(left + 1, int(x1 * s + 0.5)), max(top + 1, int(y1 * s + 0.5))
        for y in range(max(top, 0), min(bottom, size)):
            for x in range(max(left, 0), min(right, size)):
                px[y][x] = colour + (255,)

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


def bitmap(size):
    """A 32-bit DIB with alpha, and the AND mask that older Windows reads."""
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour, mask = b'', b''
    for row in reversed(px):                 # bottom-up rows
        colour += b''.join(struct.pack('BBBB', b, g, r, a) for (r, g, b, a) in row)
        bits = bytearray((size + 31) // 32 * 4)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + colour + mask


def png(size):
    px = draw(size)
    raw = b''.join(b'\0' + b''.join(bytes(p) for p in row) for row in px)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def main(path):
    images = [png(size) if size == 256 else bitmap(size) for size in SIZES]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'res/vorlix.ico')
