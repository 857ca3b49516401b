#!/usr/bin/python3
"""Writes a small QPF2 file, one glyph for "A", as a seed for the QPF2 reader.

    /usr/bin/python3 qpf2_seed.py OUT
"""

import struct
import sys


def block(tag, data):
    pad = -len(data) % 4
    return struct.pack(">HHI", tag, 0, len(data) + pad) + data + b"\0" * pad


def main():
    tags = struct.pack(">HH1s", 0, 1, b"F") + struct.pack(">HHB", 16, 1, 12) + struct.pack(">HHB", 15, 1, 8)
    tags += struct.pack(">HH", 19, 0)
    tags += b"\0" * (-len(tags) % 4)
    cmap = struct.pack(">HHHHI", 0, 1, 3, 10, 12) + struct.pack(">HHIII", 12, 0, 28, 0, 1)
    cmap += struct.pack(">III", 65, 65, 1)
    glyph = struct.pack(">BBBbbb", 1, 1, 1, 0, -1, 1) + b"\xff"
    data = b"QPF2" + struct.pack(">IBBH", 0xFFFFFFFF, 2, 0, len(tags)) + tags
    data += block(0, cmap) + block(1, struct.pack(">II", 0xFFFFFFFF, 0)) + block(2, glyph)
    with open(sys.argv[1], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
