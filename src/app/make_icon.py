#!/usr/bin/env python3
"""Draws the program's icon, a small terminal window with a prompt, and
writes it as cmdpane.ico (32 x 32 and 16 x 16, 32-bit colour with alpha).

    python3 make_icon.py [output.ico]
"""
import struct
import sys

CLEAR = (0, 0, 0, 0)
FRAME = (40, 40, 48, 255)
TITLE = (36, 92, 180, 255)
TITLE_DOT = (235, 240, 250, 255)
SCREEN = (16, 18, 22, 255)
PROMPT = (90, 220, 110, 255)


def blank(size):
    return [[CLEAR] * size for _ in range(size)]


def fill(image, left, top, right, bottom, colour):
    """Fills the half-open box [left, right) x [top, bottom)."""
    for y in range(top, bottom):
        for x in range(left, right):
            image[y][x] = colour


def terminal(size):
    """A window frame with a title bar, a dark screen, '>' and a cursor bar."""
    s = size / 32.0
    px = lambda v: int(round(v * s))
    image = blank(size)
    fill(image, px(1), px(3), px(31), px(29), FRAME)
    # At least one pixel of frame shows above the title bar at every size.
    title_bottom = px(9) if size > 16 else 5
    fill(image, px(2), max(px(4), px(3) + 1), px(30), title_bottom, TITLE)
    dot = max(1, px(2))
    fill(image, px(26), px(5.5), px(26) + dot, px(5.5) + dot, TITLE_DOT)
    fill(image, px(2), title_bottom + 1, px(30), px(28), SCREEN)

    # The '>' of the prompt: two diagonal strokes meeting at its tip.
    stroke = max(1, px(2))
    half = px(5)
    left, middle = px(6), px(18)
    for i in range(half + 1):
        x = left + i
        fill(image, x, middle - half + i, x + stroke, middle - half + i + stroke, PROMPT)
        fill(image, x, middle + half - i, x + stroke, middle + half - i + stroke, PROMPT)
    # The cursor, an underscore after the prompt.
    fill(image, px(15), px(23), px(24), px(23) + stroke, PROMPT)
    return image


def dib(image):
    """The image as an icon DIB: header, bottom-up BGRA rows, AND mask."""
    size = len(image)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(struct.pack('<BBBB', b, g, r, a)
                      for row in reversed(image) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(image):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def ico(images):
    entries, blobs = b'', b''
    offset = 6 + 16 * len(images)
    for image in images:
        size = len(image)
        blob = dib(image)
        entries += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(blob), offset)
        blobs += blob
        offset += len(blob)
    return struct.pack('<HHH', 0, 1, len(images)) + entries + blobs


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else 'cmdpane.ico'
    with open(out, 'wb') as f:
        f.write(ico([terminal(32), terminal(16)]))


if __name__ == '__main__':
    main()
