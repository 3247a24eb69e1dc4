#!/usr/bin/env python3
"""Draws bitmap 127, the check boxes of the options page, and writes it as a 16-colour BMP.

44 x 22 pixels: 4 columns by 2 rows of 11 x 11 cells, each cell with a one-pixel grey border.
Column = selection state: 0 empty white box, 1 black tick on white, 2 grey tick on grey,
3 black cross on grey. Row 0 is the normal look, row 1 the pressed look: the same marks on a
grey ground. Run from the project root: python3 tools/make-checkboxes.py
The output is checked in; rerunning this script reproduces it byte for byte.
"""
import struct

# The 16 colours of the standard palette (index: (r, g, b)).
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
           (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
           (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, SILVER, GREY, WHITE = 0, 7, 8, 15
CELL, COLUMNS, ROWS = 11, 4, 2

# Marks inside the 9 x 9 interior of a cell: (x, y) points.
TICK = [(x, y) for x, ys in {1: (3, 4, 5), 2: (4, 5, 6), 3: (5, 6, 7), 4: (4, 5, 6), 5: (3, 4, 5), 6: (2, 3, 4),
                               7: (1, 2, 3)}.items() for y in ys]
CROSS = [(i, i) for i in range(1, 8)] + [(i + 1, i) for i in range(1, 7)] + \
        [(8 - i, i) for i in range(1, 8)] + [(7 - i, i) for i in range(1, 7)]


def cell(state, pressed):
    ground = SILVER if pressed or state >= 2 else WHITE
    pixels = [[ground] * CELL for _ in range(CELL)]
    for i in range(CELL):
        pixels[0][i] = pixels[CELL - 1][i] = pixels[i][0] = pixels[i][CELL - 1] = GREY
    mark = {1: (TICK, BLACK), 2: (TICK, GREY), 3: (CROSS, BLACK)}.get(state)
    if mark:
        for x, y in mark[0]:
            pixels[1 + y][1 + x] = mark[1]
    return pixels


def main():
    width, height = CELL * COLUMNS, CELL * ROWS
    image = [[0] * width for _ in range(height)]
    for row in range(ROWS):
        for column in range(COLUMNS):
            for y, line in enumerate(cell(column, row == 1)):
                for x, colour in enumerate(line):
                    image[row * CELL + y][column * CELL + x] = colour
    stride = ((width * 4 + 31) // 32) * 4
    rows = b""
    for line in reversed(image):  # bottom-up
        packed = bytes((line[x] << 4) | (line[x + 1] if x + 1 < width else 0) for x in range(0, width, 2))
        rows += packed + b"\0" * (stride - len(packed))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(rows), 2835, 2835, 16, 16)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    with open("src/resources/checkboxes.bmp", "wb") as out:
        out.write(header + info + palette + rows)


if __name__ == "__main__":
    main()
