#!/usr/bin/env python3
"""Turns 24-bit BMP files (as the dialog tests save them) into PNG files
beside them:  bmp-to-png.py FILE.bmp...  ->  FILE.png"""

import struct
import sys
import zlib


def convert(source, target):
    data = open(source, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24 or height <= 0:
        raise SystemExit(f"{source}: not a bottom-up 24-bit BMP")
    stride = (width * 3 + 3) & ~3
    rows = bytearray()
    for y in range(height - 1, -1, -1):  # BMP rows run bottom-up
        row = data[offset + y * stride: offset + y * stride + width * 3]
        rows.append(0)  # filter: none
        for x in range(0, width * 3, 3):
            blue, green, red = row[x:x + 3]
            rows += bytes((red, green, blue))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(target, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                  chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


for name in sys.argv[1:]:
    convert(name, name[:-4] + ".png")
