#!/usr/bin/env python3
"""Draws the program's icon: a sticking plaster laid across a game
cartridge, at 16x16 and 32x32, 32-bit colour with alpha, as one .ico file.

Usage: make_icon.py OUTPUT.ico   (the repository keeps the result in src/ui/)
"""
import math
import struct
import sys

SAMPLES = 4  # per axis, for smooth edges


def rounded_box(x, y, cx, cy, half_w, half_h, radius):
    """Inside test of a rectangle with rounded corners."""
    dx = max(abs(x - cx) - (half_w - radius), 0.0)
    dy = max(abs(y - cy) - (half_h - radius), 0.0)
    return dx * dx + dy * dy <= radius * radius


def shade(u, v):
    """Colour (r, g, b, a) at a point of the unit square, or None."""
    # The plaster: a band along the diagonal, with a pad in its middle and
    # small holes on both wings.
    cu, cv = u - 0.5, v - 0.5
    a = math.radians(-40)
    pu = cu * math.cos(a) - cv * math.sin(a)
    pv = cu * math.sin(a) + cv * math.cos(a)
    if rounded_box(pu, pv, 0.0, 0.0, 0.50, 0.15, 0.15):
        if abs(pu) < 0.14 and abs(pv) < 0.11:
            return (250, 236, 214, 255)  # pad
        for hole in (-0.30, -0.22, 0.22, 0.30):
            if (pu - hole) ** 2 + pv ** 2 < 0.022 ** 2:
                return (196, 140, 96, 255)
        if abs(pv) > 0.115:
            return (198, 138, 88, 255)  # edge
        return (232, 176, 124, 255)
    # The cartridge: a rounded dark-blue body with a light label.
    if rounded_box(u, v, 0.5, 0.54, 0.38, 0.42, 0.08):
        if rounded_box(u, v, 0.5, 0.46, 0.27, 0.22, 0.04):
            return (226, 236, 248, 255)  # label
        if v > 0.86 and abs(u - 0.5) < 0.28 and int(u * 16) % 2 == 0:
            return (232, 196, 64, 255)  # contacts
        return (44, 78, 150, 255)
    return None


def render(size):
    """Rows of BGRA pixels, top row first."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    u = (x + (sx + 0.5) / SAMPLES) / size
                    v = (y + (sy + 0.5) / SAMPLES) / size
                    c = shade(u, v)
                    if c:
                        for i in range(3):
                            acc[i] += c[i] * c[3] / 255.0
                        acc[3] += c[3]
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha <= 0:
                row.append((0, 0, 0, 0))
                continue
            r, g, b = (acc[i] / n * 255.0 / alpha for i in range(3))
            row.append((round(b), round(g), round(r), round(alpha)))
        rows.append(row)
    return rows


def icon_image(size):
    """One icon image: BITMAPINFOHEADER, bottom-up BGRA pixels, AND mask."""
    rows = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytes(c for row in reversed(rows) for p in row for c in p)
    mask_stride = ((size + 31) // 32) * 4
    mask = b''
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + pixels + mask


def main():
    sizes = (16, 32)
    images = [icon_image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    out += b''.join(images)
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
