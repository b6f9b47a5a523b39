#!/usr/bin/env python3
"""Draws the application icon: a monitor with a gold key in front of it (logon by itself).

Writes src/dialog/quellin.ico: one 32 x 32 image in 16 colours (the standard VGA palette),
with a transparency mask. Run it again after changing the drawing; commit both.
"""
import struct
import sys
from pathlib import Path

PALETTE = [  # VGA order: the 16 colours every Windows display has
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, OLIVE, NAVY, SILVER, GRAY, YELLOW, BLUE, AQUA, WHITE = 0, 3, 4, 7, 8, 11, 12, 14, 15
SIZE = 32


def draw():
    px = [[None] * SIZE for _ in range(SIZE)]  # None: transparent

    def rect(x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                px[y][x] = c

    # Monitor: gray case, navy screen with a lighter band, stand and foot.
    rect(1, 2, 26, 21, GRAY)
    rect(2, 3, 25, 20, SILVER)
    rect(4, 5, 23, 18, NAVY)
    rect(5, 6, 22, 8, BLUE)
    rect(11, 22, 16, 24, GRAY)
    rect(7, 25, 20, 26, GRAY)
    # Key: a ring with a hole, a shaft and two teeth, outlined in black.
    for y in range(12, 23):
        for x in range(15, 26):
            d = (x - 20) ** 2 + (y - 17) ** 2
            if d <= 30:
                px[y][x] = BLACK
            if d <= 20:
                px[y][x] = YELLOW
            if d <= 4:
                px[y][x] = NAVY if 4 <= x <= 23 and 5 <= y <= 18 else SILVER
    rect(14, 26, 31, 29, BLACK)
    rect(15, 27, 30, 28, YELLOW)
    rect(18, 21, 22, 27, BLACK)
    rect(19, 22, 21, 28, YELLOW)
    rect(24, 29, 26, 31, BLACK)
    rect(28, 29, 30, 31, BLACK)
    rect(25, 29, 25, 30, OLIVE)
    rect(29, 29, 29, 30, OLIVE)
    return px


def ico(px):
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(px):  # DIBs run bottom-up
        for x in range(0, SIZE, 2):
            hi, lo = (c if c is not None else 0 for c in row[x:x + 2])
            xor.append(hi << 4 | lo)
        bits = 0
        for c in row:
            bits = bits << 1 | (c is None)
        mask += bits.to_bytes(4, "big")
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    out = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent.parent / "src/dialog/quellin.ico")
    out.write_bytes(ico(draw()))
    print(f"wrote {out}")
