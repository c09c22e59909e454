#!/usr/bin/env python3
"""Rewrites 8-bit RGB PNG files (as the dialog driver writes them, with
stored deflate blocks) as small palette PNGs where they have at most 256
colours, else as compressed RGB.

    png_squeeze.py IN.png OUT.png [IN.png OUT.png ...]
"""

import struct
import sys
import zlib


def chunks(data):
    at = 8
    while at < len(data):
        (length,) = struct.unpack(">I", data[at:at + 4])
        kind = data[at + 4:at + 8]
        yield kind, data[at + 8:at + 8 + length]
        at += 12 + length


def chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body +
            struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))


def squeeze(source, target):
    data = open(source, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(f"{source}: not a PNG file")
    header, idat = None, b""
    for kind, body in chunks(data):
        if kind == b"IHDR":
            header = body
        elif kind == b"IDAT":
            idat += body
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", header)
    if (depth, colour, interlace) != (8, 2, 0):
        raise SystemExit(f"{source}: only 8-bit RGB without interlace is read")
    raw = zlib.decompress(idat)
    stride = width * 3 + 1
    rows = []
    for y in range(height):
        line = raw[y * stride:(y + 1) * stride]
        if line[0] != 0:
            raise SystemExit(f"{source}: only filter type 0 is read")
        rows.append(line[1:])
    colours = {}
    for row in rows:
        for x in range(0, len(row), 3):
            colours.setdefault(row[x:x + 3], len(colours))
            if len(colours) > 256:
                break
    if len(colours) <= 256:
        palette = b"".join(sorted(colours, key=colours.get))
        body = b"".join(b"\0" + bytes(colours[row[x:x + 3]] for x in range(0, len(row), 3))
                        for row in rows)
        ihdr = struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0)
        extra = chunk(b"PLTE", palette)
    else:
        body = b"".join(b"\0" + row for row in rows)
        ihdr = header
        extra = b""
    out = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra +
           chunk(b"IDAT", zlib.compress(body, 9)) + chunk(b"IEND", b""))
    open(target, "wb").write(out)


def main(argv):
    if len(argv) < 3 or len(argv) % 2 == 0:
        raise SystemExit(__doc__)
    for i in range(1, len(argv), 2):
        squeeze(argv[i], argv[i + 1])


if __name__ == "__main__":
    main(sys.argv)
