#!/usr/bin/env python3
"""Draws kestrel.ico: a kestrel in flight over a round patch of sky.

Three images, as the resource script expects: 16x16 with 16 colours, 32x32
with 256 colours and 32x32 with 16 colours. Standard library only; the shapes
are polygons in unit coordinates, sampled at pixel centres (4x4 samples per
pixel, majority vote) so that every size is drawn from the same artwork.

    python3 make_icon.py [OUTPUT]      (default: kestrel.ico beside this file)
"""
import os
import struct
import sys

# The 16 colours of the standard VGA palette.
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]

SKY_TOP, SKY_LOW, RIM = (120, 190, 240), (200, 230, 250), (20, 60, 130)
WING, BODY, HEAD, SUN = (170, 80, 30), (200, 110, 50), (60, 50, 60), (255, 220, 60)

# Layers in painting order: (colour, polygon) with (x, y) in 0..1, y downwards.
BIRD = [
    (WING, [(0.08, 0.40), (0.50, 0.50), (0.30, 0.62)]),           # left wing
    (WING, [(0.92, 0.32), (0.50, 0.50), (0.66, 0.62)]),           # right wing
    (BODY, [(0.44, 0.44), (0.58, 0.46), (0.56, 0.74), (0.50, 0.86), (0.44, 0.74)]),
    (HEAD, [(0.46, 0.34), (0.56, 0.34), (0.58, 0.44), (0.44, 0.44)]),
]


def inside_polygon(x, y, polygon):
    hit = False
    j = len(polygon) - 1
    for i in range(len(polygon)):
        (xi, yi), (xj, yj) = polygon[i], polygon[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def colour_at(x, y):
    """The artwork's colour at a point, or None outside the round patch."""
    dx, dy = x - 0.5, y - 0.5
    r2 = dx * dx + dy * dy
    if r2 > 0.48 * 0.48:
        return None
    for colour, polygon in reversed(BIRD):
        if inside_polygon(x, y, polygon):
            return colour
    if r2 > 0.42 * 0.42:
        return RIM
    if (x - 0.72) ** 2 + (y - 0.24) ** 2 < 0.09 ** 2:
        return SUN
    t = y
    return tuple(round(a + (b - a) * t) for a, b in zip(SKY_TOP, SKY_LOW))


def render(size):
    """Rows of colours (None for transparent), top row first."""
    samples = 4
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            votes = {}
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((px + (sx + 0.5) / samples) / size, (py + (sy + 0.5) / samples) / size)
                    votes[c] = votes.get(c, 0) + 1
            row.append(max(votes.items(), key=lambda kv: (kv[1], kv[0] is not None))[0])
        rows.append(row)
    return rows


def nearest(colour, palette):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(colour, palette[i])))


def palette256():
    """The VGA colours, then every colour of the artwork's sky gradient and shapes."""
    colours = list(VGA16)
    for y in range(64):
        c = colour_at(0.5, (y + 0.5) / 64)
        extra = [tuple(round(a + (b - a) * (y / 63)) for a, b in zip(SKY_TOP, SKY_LOW))]
        for e in extra + ([c] if c else []):
            if e not in colours:
                colours.append(e)
    for c in (RIM, WING, BODY, HEAD, SUN):
        if c not in colours:
            colours.append(c)
    colours += [(0, 0, 0)] * (256 - len(colours))
    return colours[:256]


def row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def icon_image(size, bits):
    """One icon image: BITMAPINFOHEADER, palette, XOR bitmap, AND mask."""
    palette = VGA16 if bits == 4 else palette256()
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, len(palette), 0)
    colour_table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    xor_rows, and_rows = [], []
    for row in reversed(rows):  # DIBs are stored bottom-up
        indices = [0 if c is None else nearest(c, palette) for c in row]
        if bits == 8:
            data = bytes(indices)
        else:
            data = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))
        xor_rows.append(data.ljust(row_bytes(size * bits), b"\0"))
        mask = 0
        for c in row:
            mask = (mask << 1) | (1 if c is None else 0)
        and_rows.append(mask.to_bytes(size // 8, "big").ljust(row_bytes(size), b"\0"))
    return header + colour_table + b"".join(xor_rows) + b"".join(and_rows), len(palette)


def build_icon():
    images = [(16, 4), (32, 8), (32, 4)]
    blobs = [icon_image(size, bits) for size, bits in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bits), (blob, colours) in zip(images, blobs):
        out += struct.pack("<BBBBHHII", size, size, colours if colours < 256 else 0, 0, 1, bits,
                           len(blob), offset)
        offset += len(blob)
    return out + b"".join(blob for blob, _ in blobs)


if __name__ == "__main__":
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                                  "kestrel.ico")
    with open(target, "wb") as f:
        f.write(build_icon())
