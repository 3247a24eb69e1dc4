#!/usr/bin/env python3
"""Draws the program's two icons and writes them as .ico files (32x32 and 16x16, 32-bit).

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


def dib(pixels):
    size = len(pixels)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, size * size * 4, 0, 0, 0, 0)
    xor = b''.join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    row_bytes = ((size + 31) // 32) * 4
    and_rows = []
    for row in reversed(pixels):
        bits = 0
        out = bytearray(row_bytes)
        for i, (_, _, _, a) in enumerate(row):
            if a == 0:
                out[i // 8] |= 0x80 >> (i % 8)
        and_rows.append(bytes(out))
    return header + xor + b''.join(and_rows)


def write_ico(path, shader):
    images = [dib(render(s, shader)) for s in (32, 16)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip((32, 16), images):
        out += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    write_ico('src/resources/setup.ico', setup_shader)
    write_ico('src/resources/notice.ico', notice_shader)
