# SPDX-License-Identifier: MIT
"""Draws the page's icon, SIZE pixels square, as a PNG: the board's two
halves, the opponent's in yellow above and the player's in cyan below, with
a row of units each, on black. The same size gives the same bytes.

    python3 web/icon.py SIZE OUT.png
"""

import struct
import sys
import zlib


def pixel(x, y, size):
    cell = size // 8
    col, row = x // cell, y // cell
    inside = cell // 8 <= x % cell < cell - cell // 8 and cell // 8 <= y % cell < cell - cell // 8
    if row in (2, 5) and 1 <= col <= 6 and inside and (col + row) % 2:
        return (0xff, 0xd7, 0x00) if row == 2 else (0x00, 0xd7, 0xff)
    if y in range(size // 2 - cell // 16, size // 2 + cell // 16 + 1) and cell <= x < size - cell:
        return (0xdd, 0xdd, 0xdd)
    return (0, 0, 0)


def png(size):
    rows = b"".join(b"\0" + bytes(c for x in range(size) for c in pixel(x, y, size)) for y in range(size))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    with open(sys.argv[2], "wb") as out:
        out.write(png(int(sys.argv[1])))
