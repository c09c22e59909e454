#!/usr/bin/env python3
"""Draws the installer's pictures and writes them as BMP and ICO files.

    gen_images.py OUT_DIR

writes into OUT_DIR:
    welcome.bmp    bitmap 1010, the picture on the wizard pages: 80 x 140
                   pixels (about 53 x 86 dialog units in MS Sans Serif 8),
                   a stack of parcels against a blue sky
    installer.ico  icon 1500, a taped parcel, 32 x 32 and 16 x 16
    question.ico   icon 1501, a question mark in a blue disc, 32 x 32 and
                   16 x 16

Every image uses the same 16-colour palette (4 bits per pixel, uncompressed)
so that it shows on any display Windows 95 supports. The output is a pure
function of this script: the build regenerates it and nothing is checked in.
"""

import os
import struct
import sys

PALETTE = [  # (red, green, blue)
    (0, 0, 0),        # 0  black
    (255, 255, 255),  # 1  white
    (192, 192, 192),  # 2  silver
    (128, 128, 128),  # 3  grey
    (96, 56, 24),     # 4  parcel outline
    (156, 102, 52),   # 5  parcel, shaded side
    (196, 140, 80),   # 6  parcel, lit side
    (232, 190, 128),  # 7  parcel, top
    (246, 226, 176),  # 8  tape
    (16, 32, 96),     # 9  navy
    (32, 72, 160),    # 10 blue
    (64, 120, 208),   # 11 middle blue
    (120, 168, 232),  # 12 light blue
    (184, 212, 244),  # 13 pale blue
    (32, 144, 64),    # 14 green
    (248, 200, 40),   # 15 gold
]
BLACK, WHITE, SILVER, GREY, OUTLINE, SHADE, LIT, TOP, TAPE = range(9)
NAVY, BLUE, MID_BLUE, LIGHT_BLUE, PALE_BLUE, GREEN, GOLD = range(9, 16)


class Canvas:
    """Palette indices, row 0 at the top; None is transparent."""

    def __init__(self, width, height, fill=None):
        self.width = width
        self.height = height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def polygon(self, points, colour):
        """Fills every pixel whose centre lies inside points (even-odd)."""
        for y in range(self.height):
            cy = y + 0.5
            for x in range(self.width):
                cx = x + 0.5
                inside = False
                j = len(points) - 1
                for i in range(len(points)):
                    (xi, yi), (xj, yj) = points[i], points[j]
                    if (yi > cy) != (yj > cy):
                        if cx < xi + (cy - yi) * (xj - xi) / (yj - yi):
                            inside = not inside
                    j = i
                if inside:
                    self.pixels[y][x] = colour

    def line(self, p, q, colour):
        (x0, y0), (x1, y1) = [(int(round(a)), int(round(b))) for a, b in (p, q)]
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.put(x0, y0, colour)
            if (x0, y0) == (x1, y1):
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def disc(self, cx, cy, r, colour):
        for y in range(self.height):
            for x in range(self.width):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.pixels[y][x] = colour

    def glyph(self, x0, y0, rows, colour):
        """Stamps rows of text: '#' takes colour, anything else is left."""
        for dy, row in enumerate(rows):
            for dx, c in enumerate(row):
                if c == "#":
                    self.put(x0 + dx, y0 + dy, colour)


def parcel(target, cx, top, a, h, tape=True):
    """An isometric parcel: its lid's top corner at (cx, top), half width a,
    sides h pixels high, taped along the lid's seam and down the right."""
    # Drawn alone first: the outline's pixels do not always meet the faces'
    # (those are sampled at pixel centres), and the silhouette is convex, so
    # every gap left inside a row takes the colour of its left neighbour.
    canvas = Canvas(target.width, target.height)
    b = a / 2.0
    t, r, bt, l = (cx, top), (cx + a, top + b), (cx, top + 2 * b), (cx - a, top + b)
    down = lambda p: (p[0], p[1] + h)
    canvas.polygon([l, bt, down(bt), down(l)], LIT)
    canvas.polygon([bt, r, down(r), down(bt)], SHADE)
    canvas.polygon([t, r, bt, l], TOP)
    if tape:
        k = 0.12  # half the tape's width, as a fraction of an edge
        on_tl = lambda u: (t[0] + u * (l[0] - t[0]), t[1] + u * (l[1] - t[1]))
        on_rb = lambda u: (r[0] + u * (bt[0] - r[0]), r[1] + u * (bt[1] - r[1]))
        canvas.polygon([on_tl(0.5 - k), on_tl(0.5 + k), on_rb(0.5 + k), on_rb(0.5 - k)], TAPE)
        canvas.polygon([on_rb(0.5 - k), on_rb(0.5 + k), down(on_rb(0.5 + k)),
                        down(on_rb(0.5 - k))], TOP)
    for p, q in [(t, r), (r, down(r)), (down(r), down(bt)), (down(bt), down(l)),
                 (down(l), l), (l, t), (l, bt), (bt, r), (bt, down(bt))]:
        canvas.line(p, q, OUTLINE)
    for y, row in enumerate(canvas.pixels):
        drawn = [x for x, p in enumerate(row) if p is not None]
        if not drawn:
            continue
        for x in range(drawn[0], drawn[-1] + 1):
            if row[x] is None:
                row[x] = row[x - 1]
            target.pixels[y][x] = row[x]


def welcome_picture():
    c = Canvas(80, 140)
    # Sky: bands from navy to pale blue, each boundary blended with a 2 x 2
    # ordered dither so the 16 colours read as a gradient.
    bands = [NAVY, BLUE, MID_BLUE, LIGHT_BLUE, PALE_BLUE]
    band_height = 24
    for y in range(c.height):
        i = min(y // band_height, len(bands) - 1)
        nxt = min(i + 1, len(bands) - 1)
        into = (y % band_height) / band_height  # 0..1 through the band
        for x in range(c.width):
            threshold = (0.125, 0.625, 0.875, 0.375)[(x % 2) + 2 * (y % 2)]
            c.pixels[y][x] = bands[nxt] if into > 0.5 and into - 0.5 > threshold / 2 else bands[i]
    # Ground.
    c.polygon([(0, 118), (80, 108), (80, 140), (0, 140)], GREEN)
    # Stars.
    for x, y in [(14, 12), (58, 20), (33, 34), (66, 46)]:
        for dx, dy in [(0, 0), (1, 0), (-1, 0), (0, 1), (0, -1)]:
            c.put(x + dx, y + dy, GOLD if (dx, dy) == (0, 0) else WHITE)
    # A stack of three parcels, largest at the bottom.
    parcel(c, 40, 82, 26, 22)
    parcel(c, 36, 62, 17, 15)
    parcel(c, 42, 47, 10, 9, tape=False)
    return c


def parcel_icon(size):
    c = Canvas(size, size)
    if size == 32:
        parcel(c, 16, 2, 14, 13)
    else:
        parcel(c, 8, 1, 7, 6)
    return c


QUESTION_32 = [
    "  ######  ",
    " ######## ",
    "###    ###",
    "##      ##",
    "        ##",
    "       ###",
    "     #### ",
    "    ###   ",
    "    ##    ",
    "    ##    ",
    "          ",
    "    ##    ",
    "    ##    ",
]
QUESTION_16 = [
    " ### ",
    "#   #",
    "    #",
    "  ## ",
    "  #  ",
    "     ",
    "  #  ",
]


def question_icon(size):
    c = Canvas(size, size)
    if size == 32:
        c.disc(16, 16, 15, NAVY)
        c.disc(16, 16, 14, BLUE)
        c.disc(14.5, 13.5, 9, MID_BLUE)
        c.glyph(11, 9, QUESTION_32, WHITE)
    else:
        c.disc(8, 8, 7.6, NAVY)
        c.disc(8, 8, 6.6, BLUE)
        c.glyph(6, 4, QUESTION_16, WHITE)
    return c


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def pixel_rows(canvas):
    """4-bit rows, bottom row first, each padded to a multiple of 4 bytes."""
    out = bytearray()
    for row in reversed(canvas.pixels):
        indices = [0 if p is None else p for p in row]
        if len(indices) % 2:
            indices.append(0)
        packed = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, len(indices), 2))
        out += packed + b"\0" * (-len(packed) % 4)
    return bytes(out)


def mask_rows(canvas):
    """1-bit AND mask, bottom row first: 1 where the pixel is transparent."""
    out = bytearray()
    for row in reversed(canvas.pixels):
        bits = bytearray((len(row) + 7) // 8)
        for x, p in enumerate(row):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bits + b"\0" * (-len(bits) % 4)
    return bytes(out)


def info_header(width, height, image_size):
    # BITMAPINFOHEADER: size, width, height, planes, bits per pixel,
    # compression (BI_RGB), image size, resolution x/y, colours used/important.
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, image_size,
                       2835, 2835, 16, 16)


def bmp_file(canvas):
    pixels = pixel_rows(canvas)
    info = info_header(canvas.width, canvas.height, len(pixels)) + palette_bytes()
    offset = 14 + len(info)
    # BITMAPFILEHEADER: "BM", file size, two reserved words, offset of the bits.
    return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + info + pixels


def ico_file(canvases):
    images = []
    for c in canvases:
        xor, mask = pixel_rows(c), mask_rows(c)
        # An icon image's header counts the colour bits and the mask: twice the height.
        images.append(info_header(c.width, 2 * c.height, len(xor) + len(mask))
                      + palette_bytes() + xor + mask)
    # ICONDIR: reserved, type 1 (icon), count; then one 16-byte entry per image.
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, data in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.width % 256, c.height % 256, 16, 0, 1, 4,
                           len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: gen_images.py OUT_DIR\n")
        return 2
    os.makedirs(argv[1], exist_ok=True)
    write(os.path.join(argv[1], "welcome.bmp"), bmp_file(welcome_picture()))
    write(os.path.join(argv[1], "installer.ico"), ico_file([parcel_icon(32), parcel_icon(16)]))
    write(os.path.join(argv[1], "question.ico"), ico_file([question_icon(32), question_icon(16)]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
