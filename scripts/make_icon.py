#!/usr/bin/env python3
"""Draws the program icon (a rounded blue tile with a white camera lens) into an .ico file.

Usage: make_icon.py OUTPUT.ico
Each size is a 32-bit BGRA DIB with an AND mask, the layout every Windows version reads.
"""
import math
import struct
import sys

SIZES = (16, 24, 32, 48, 64, 256)


def coverage(inside, x, y, samples=4):
    """Fraction of the pixel (x, y) for which inside(px, py) holds, by supersampling."""
    hits = 0
    for sy in range(samples):
        for sx in range(samples):
            if inside(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples):
                hits += 1
    return hits / (samples * samples)


def rounded_square(size):
    r = size * 0.22
    lo, hi = size * 0.04, size * 0.96

    def inside(px, py):
        cx = min(max(px, lo + r), hi - r)
        cy = min(max(py, lo + r), hi - r)
        return lo <= px <= hi and lo <= py <= hi and (px - cx) ** 2 + (py - cy) ** 2 <= r * r
    return inside


def ring(size, outer, inner):
    c = size / 2

    def inside(px, py):
        d = math.hypot(px - c, py - c)
        return inner * size <= d <= outer * size
    return inside


def blend(under, over, alpha):
    return tuple(round(u * (1 - alpha) + o * alpha) for u, o in zip(under, over))


def draw(size):
    """Returns rows top first of (b, g, r, a)."""
    tile, lens, pupil = rounded_square(size), ring(size, 0.30, 0.17), ring(size, 0.09, 0.0)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            a = coverage(tile, x, y)
            shade = 1.0 - 0.35 * y / size   # a soft top-to-bottom gradient
            rgb = (int(40 * shade), int(120 * shade), int(230 * shade))
            rgb = blend(rgb, (255, 255, 255), coverage(lens, x, y))
            rgb = blend(rgb, (255, 255, 255), coverage(pupil, x, y))
            row.append((rgb[2], rgb[1], rgb[0], round(255 * a)))
        rows.append(row)
    return rows


def dib(size):
    rows = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(bytes(c for px in row for c in px) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)  # alpha decides; the AND mask stays clear
    return header + pixels + mask


def main():
    images = [dib(s) for s in SIZES]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(SIZES, images):
        out += struct.pack('<BBBBHHII', s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(sys.argv[1], 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    main()
