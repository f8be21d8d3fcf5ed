#!/usr/bin/env python3
"""Writes the launcher's default icon: a blue rounded square holding a white application window.

    make_icon.py OUTPUT.ico [--sizes 16,32,48,256] [--color RRGGBB]

The output depends only on the arguments (no clock, no randomness), so the committed
resources/launcher.ico is exactly what `make_icon.py resources/launcher.ico` writes; a host test
holds the two together. Images of 256 pixels are stored as PNG (Windows Vista on reads those; a
bitmap that size would be 256 KiB), smaller ones as 32-bit bitmaps with alpha, which every
Windows version and every resource tool reads.
"""

import argparse
import struct
import sys
import zlib

SUPERSAMPLE = 4  # samples per pixel along each axis, for anti-aliased edges
WHITE = (255, 255, 255)


def inside_rounded_rect(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def sample(x, y, color):
    """The design in unit coordinates: (rgb, alpha) at one point."""
    if not inside_rounded_rect(x, y, 0.03, 0.03, 0.97, 0.97, 0.2):
        return (0, 0, 0), 0
    # The window: a frame with a thick title bar around a blue client area.
    in_window = inside_rounded_rect(x, y, 0.17, 0.22, 0.83, 0.78, 0.06)
    in_client = inside_rounded_rect(x, y, 0.245, 0.40, 0.755, 0.705, 0.02)
    if in_window and not in_client:
        return WHITE, 255
    # A top-to-bottom shade of the background colour, darker by a quarter at the bottom.
    shade = 1.0 - 0.25 * y
    return tuple(int(round(c * shade)) for c in color), 255


def render(size, color):
    """Rows top to bottom of (r, g, b, a), straight (not premultiplied) alpha."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(n):
                for sx in range(n):
                    (cr, cg, cb), ca = sample((px + (sx + 0.5) / n) / size,
                                              (py + (sy + 0.5) / n) / size, color)
                    r += cr * ca
                    g += cg * ca
                    b += cb * ca
                    a += ca
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(r / a), round(g / a), round(b / a), round(a / (n * n))))
        rows.append(row)
    return rows


def png(rows):
    size = len(rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(v for pixel in row for v in pixel) for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA, no interlace
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib(rows):
    """BITMAPINFOHEADER, BGRA rows bottom to top, then the AND mask (all zero: alpha decides)."""
    size = len(rows)
    mask_stride = ((size + 31) // 32) * 4
    # An icon bitmap's height counts the colour image and the mask: twice the icon's height.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    return header + pixels + bytes(mask_stride * size)


def icon(sizes, color):
    images = [png(render(s, color)) if s >= 256 else dib(render(s, color)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))  # ICONDIR: reserved, type 1 = icon, count
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        # ICONDIRENTRY: width and height 0 stand for 256.
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output")
    parser.add_argument("--sizes", default="16,32,48,256")
    parser.add_argument("--color", default="2563EB", help="background, RRGGBB")
    args = parser.parse_args()
    sizes = [int(s) for s in args.sizes.split(",")]
    if any(s < 1 or s > 256 for s in sizes):
        sys.exit("make_icon.py: each size must be 1..256")
    color = tuple(int(args.color[i:i + 2], 16) for i in (0, 2, 4))
    with open(args.output, "wb") as f:
        f.write(icon(sizes, color))


if __name__ == "__main__":
    main()
