#!/usr/bin/env python3
"""Draws the program's two icons and writes them as .ico files (32x32 and 16x16, 16 colours).

16 colours from a palette of each icon's own with a transparency mask: the format every Windows
shows, from Windows 95 and NT 4.0 (which know no icons with an alpha channel) on, in a tenth of
the bytes of 32-bit images.

Icon 7 (setup.ico): a disc in front of a box, the program's own icon and that of its dialogs.
Icon 133 (notice.ico): a yellow warning triangle, shown with the notice that the setup did
not complete. Run from the project root: python3 tools/make-icons.py
The output is checked in; rerunning this script reproduces it byte for byte.
"""
import math
import struct


def blend(dst, src):
    sr, sg, sb, sa = src
    dr, dg, db, da = dst
    a = sa / 255.0
    out_a = sa + da * (1 - a)
    if out_a == 0:
        return (0, 0, 0, 0)
    f = lambda s, d: round((s * sa + d * da * (1 - a)) / out_a)
    return (f(sr, dr), f(sg, dg), f(sb, db), round(out_a))


def render(size, shader):
    """Supersampled rendering: shader(x, y) gives RGBA for a point in 0..1 coordinates."""
    ss = 4
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(ss):
                for sx in range(ss):
                    x = (px + (sx + 0.5) / ss) / size
                    y = (py + (sy + 0.5) / ss) / size
                    r, g, b, a = shader(x, y)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = ss * ss
            a = acc[3] / n
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(a)))
        pixels.append(row)
    return pixels


def setup_shader(x, y):
    color = (0, 0, 0, 0)
    # box: brown carton at the back
    if 0.08 <= x <= 0.62 and 0.30 <= y <= 0.92:
        edge = x < 0.12 or x > 0.58 or y < 0.34 or y > 0.88
        color = blend(color, (120, 72, 30, 255) if edge else (196, 140, 80, 255))
    # disc: silver ring with a teal sheen and a hole
    cx, cy, r = 0.62, 0.50, 0.36
    d = math.hypot(x - cx, y - cy)
    if d <= r:
        if d <= 0.06:
            return color
        angle = math.atan2(y - cy, x - cx)
        sheen = 0.5 + 0.5 * math.sin(angle * 2)
        base = (int(150 + 80 * sheen), int(190 + 50 * sheen), int(200 + 40 * sheen), 255)
        if d > r - 0.035 or d <= 0.10:
            base = (60, 90, 110, 255)
        color = blend(color, base)
    return color


def notice_shader(x, y):
    # triangle with rounded look: inside test against three edges
    top, left, right, bottom = (0.5, 0.06), (0.04, 0.92), (0.96, 0.92), 0.92
    def side(p, a, b):
        return (b[0] - a[0]) * (p[1] - a[1]) - (b[1] - a[1]) * (p[0] - a[0])
    p = (x, y)
    inside = side(p, top, right) >= 0 and side(p, right, left) >= 0 and side(p, left, top) >= 0
    if not inside:
        return (0, 0, 0, 0)
    # black border band
    inner = side(p, (0.5, 0.17), (0.87, 0.87)) >= 0 and side(p, (0.87, 0.87), (0.13, 0.87)) >= 0 \
        and side(p, (0.13, 0.87), (0.5, 0.17)) >= 0
    if not inner:
        return (30, 30, 30, 255)
    # exclamation mark
    if abs(x - 0.5) < 0.055 and 0.36 <= y <= 0.68:
        return (20, 20, 20, 255)
    if math.hypot(x - 0.5, y - 0.77) < 0.055:
        return (20, 20, 20, 255)
    return (250, 204, 20, 255)


def opaque(pixels):
    """Pixels at least half covered keep their colour; the rest become transparent."""
    return [[(r, g, b) if a >= 128 else None for (r, g, b, a) in row] for row in pixels]


def palette_of(images, count=16):
    """Median cut over the opaque pixels of all images of an icon: up to count colours."""
    colors = sorted(set(c for img in images for row in img for c in row if c is not None))
    boxes = [colors]
    while len(boxes) < count:
        boxes.sort(key=lambda box: max(max(c[i] for c in box) - min(c[i] for c in box) for i in range(3)))
        box = boxes.pop()
        if len(box) < 2:
            boxes.append(box)
            break
        axis = max(range(3), key=lambda i: max(c[i] for c in box) - min(c[i] for c in box))
        box = sorted(box, key=lambda c: c[axis])
        half = len(box) // 2
        boxes += [box[:half], box[half:]]
    pal = [tuple(round(sum(c[i] for c in box) / len(box)) for i in range(3)) for box in boxes if box]
    return (pal + [(0, 0, 0)] * count)[:count]


def nearest(pal, color):
    return min(range(len(pal)), key=lambda i: sum((pal[i][k] - color[k]) ** 2 for k in range(3)))


def dib(pixels, pal):
    size = len(pixels)
    xor_row = ((size * 4 + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, (xor_row + and_row) * size, 0, 0, 16, 0)
    colors = b''.join(bytes((b, g, r, 0)) for (r, g, b) in pal)
    xor, mask = b'', b''
    for row in reversed(pixels):
        out = bytearray(xor_row)
        bits = bytearray(and_row)
        for i, c in enumerate(row):
            if c is None:
                bits[i // 8] |= 0x80 >> (i % 8)
            else:
                out[i // 2] |= (1 + nearest(pal[1:], c)) << (0 if i % 2 else 4)
        xor += bytes(out)
        mask += bytes(bits)
    return header + colors + xor + mask


def write_ico(path, shader):
    pictures = [opaque(render(s, shader)) for s in (32, 16)]
    # Colour 0 is black: a transparent pixel is drawn as the screen XOR its colour.
    pal = [(0, 0, 0)] + palette_of(pictures, 15)
    images = [dib(p, pal) for p in pictures]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip((32, 16), images):
        out += struct.pack('<BBBBHHII', s, s, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    write_ico('src/resources/setup.ico', setup_shader)
    write_ico('src/resources/notice.ico', notice_shader)
