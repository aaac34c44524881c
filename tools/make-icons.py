#!/usr/bin/env python3
"""Draws Quillbox's icons and writes them as Windows .ico files.

    python3 tools/make-icons.py [output-folder]      (default: src/res/icons)

Writes anim140.ico ... anim145.ico, the six frames of the About box's animation
(one 32x32 image each), and quillbox.ico, the application icon (32x32 and 16x16).
Every image is a 16-colour (4 bits per pixel) BMP inside the ICO with the standard
VGA palette and an AND mask for transparency. Standard library only.

The pictures: a small desktop scanner/printer seen from the front. A sheet of paper
goes in at the feed slot on top, passes through the machine (the scan window lights
up while the sheet is inside) and comes out of the lower slot onto the tray; the
green ready light blinks. The application icon shows the machine with a printed
sheet on its tray and a quill pen.
"""

import os
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00),  # 0 black
    (0x80, 0x00, 0x00),  # 1 maroon
    (0x00, 0x80, 0x00),  # 2 green
    (0x80, 0x80, 0x00),  # 3 olive
    (0x00, 0x00, 0x80),  # 4 navy
    (0x80, 0x00, 0x80),  # 5 purple
    (0x00, 0x80, 0x80),  # 6 teal
    (0xC0, 0xC0, 0xC0),  # 7 silver
    (0x80, 0x80, 0x80),  # 8 grey
    (0xFF, 0x00, 0x00),  # 9 red
    (0x00, 0xFF, 0x00),  # 10 lime
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 fuchsia
    (0x00, 0xFF, 0xFF),  # 14 aqua
    (0xFF, 0xFF, 0xFF),  # 15 white
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)


class Canvas:
    """A square picture of palette indexes; None is transparent."""

    def __init__(self, size):
        self.size = size
        self.px = [[None] * size for _ in range(size)]

    def set(self, x, y, colour):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), both inclusive."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        for x in range(x0, x1 + 1):
            self.set(x, y0, colour)
            self.set(x, y1, colour)
        for y in range(y0, y1 + 1):
            self.set(x0, y, colour)
            self.set(x1, y, colour)


# ---------------------------------------------------------------------------
# The 32x32 machine

BODY_TOP, BODY_BOTTOM = 11, 24     # rows of the machine's body
BODY_LEFT, BODY_RIGHT = 3, 28
FEED_SLOT_Y = 12                   # the sheet disappears below this row ...
EXIT_SLOT_Y = 22                   # ... and comes out below this one
SHEET_LEFT, SHEET_RIGHT = 9, 22
SHEET_LENGTH = 12
SCAN_ROW = 16                      # the sheet is scanned while it covers this row


def draw_sheet(c, top, visible):
    """The sheet with its top edge at row top, drawn only on rows where visible(y)."""
    for y in range(top, top + SHEET_LENGTH):
        if not visible(y):
            continue
        for x in range(SHEET_LEFT, SHEET_RIGHT + 1):
            edge = x in (SHEET_LEFT, SHEET_RIGHT) or y in (top, top + SHEET_LENGTH - 1)
            c.set(x, y, GREY if edge else WHITE)
        # Lines of text on the page.
        row = y - top
        if row in (2, 4, 6, 8):
            right = SHEET_RIGHT - (5 if row == 8 else 2)
            for x in range(SHEET_LEFT + 2, right + 1):
                c.set(x, y, NAVY)


def draw_machine(c, lamp_on, scanning):
    # Output tray under the lower slot.
    c.rect(5, 25, 26, 26, GREY)
    c.rect(6, 25, 25, 25, SILVER)
    c.set(5, 27, GREY)
    c.set(26, 27, GREY)
    # Body with a darker lid.
    c.rect(BODY_LEFT, BODY_TOP, BODY_RIGHT, BODY_BOTTOM, SILVER)
    c.rect(BODY_LEFT, BODY_TOP, BODY_RIGHT, BODY_TOP + 2, GREY)
    c.frame(BODY_LEFT, BODY_TOP, BODY_RIGHT, BODY_BOTTOM, BLACK)
    # Highlight along the front's top edge and shadow at the bottom.
    for x in range(BODY_LEFT + 1, BODY_RIGHT):
        c.set(x, BODY_TOP + 3, WHITE)
        c.set(x, BODY_BOTTOM - 1, GREY)
    # Feed slot in the lid, exit slot in the front.
    c.rect(SHEET_LEFT - 1, FEED_SLOT_Y, SHEET_RIGHT + 1, FEED_SLOT_Y, BLACK)
    c.rect(SHEET_LEFT - 1, EXIT_SLOT_Y, SHEET_RIGHT + 1, EXIT_SLOT_Y, BLACK)
    # Scan window: lit while the sheet passes the glass.
    c.frame(6, 15, 19, 18, GREY)
    c.rect(7, 16, 18, 17, AQUA if scanning else TEAL)
    if scanning:
        c.rect(7, 16, 18, 16, WHITE)
    # Panel: ready light and two buttons.
    c.rect(23, 15, 25, 16, LIME if lamp_on else GREEN)
    c.set(22, 15, BLACK if not lamp_on else GREEN)
    c.rect(22, 19, 23, 19, GREY)
    c.rect(25, 19, 26, 19, GREY)


def anim_frame(k):
    """Frame k (0..5): the sheet's top edge moves 4 rows per frame."""
    c = Canvas(32)
    top = 4 * k - 1
    # Behind the machine: the part still waiting above the feed slot.
    draw_sheet(c, top, lambda y: y < FEED_SLOT_Y)
    inside = top <= SCAN_ROW < top + SHEET_LENGTH
    draw_machine(c, lamp_on=(k % 2 == 0), scanning=inside)
    # In front of the tray: the part already out of the lower slot.
    draw_sheet(c, top, lambda y: y > EXIT_SLOT_Y)
    return c


def draw_quill(c, x0, y0, length):
    """A quill pen lying from its nib (x0, y0) up and to the right."""
    for i in range(length):
        x, y = x0 + i, y0 - i
        c.set(x, y, OLIVE if i < 3 else YELLOW)
        if i >= 3:
            c.set(x + 1, y, OLIVE)          # vane, lower side
            c.set(x, y - 1, YELLOW)         # vane, upper side
            if i >= 5:
                c.set(x - 1, y - 1, WHITE)  # shine on the vane
    c.set(x0, y0, BLACK)


def app_icon_32():
    c = Canvas(32)
    draw_sheet(c, -1, lambda y: y < FEED_SLOT_Y)
    draw_machine(c, lamp_on=True, scanning=False)
    draw_sheet(c, 20, lambda y: y > EXIT_SLOT_Y)
    draw_quill(c, 17, 12, 12)
    return c


def app_icon_16():
    c = Canvas(16)
    # Sheet in the feed.
    c.rect(4, 0, 11, 5, WHITE)
    c.frame(4, 0, 11, 6, GREY)
    c.rect(5, 2, 10, 2, NAVY)
    c.rect(5, 4, 9, 4, NAVY)
    # Body.
    c.rect(1, 6, 14, 12, SILVER)
    c.rect(1, 6, 14, 7, GREY)
    c.frame(1, 6, 14, 12, BLACK)
    c.rect(3, 6, 12, 6, BLACK)
    c.rect(3, 9, 9, 10, TEAL)
    c.rect(12, 9, 12, 9, LIME)
    # Tray with the printed sheet.
    c.rect(3, 13, 12, 14, WHITE)
    c.frame(3, 13, 12, 14, GREY)
    c.rect(5, 13, 10, 13, NAVY)
    c.rect(2, 15, 13, 15, GREY)
    # Quill.
    for i in range(6):
        c.set(9 + i, 8 - i, YELLOW if i >= 2 else OLIVE)
        if i >= 2:
            c.set(9 + i, 7 - i, YELLOW)
    return c


# ---------------------------------------------------------------------------
# ICO writing

def bmp_image(c):
    """The BMP part of one ICO image: header, palette, 4-bit colours, AND mask."""
    n = c.size
    xor_stride = ((n * 4 + 31) // 32) * 4
    and_stride = ((n + 31) // 32) * 4
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 4, 0,
                         (xor_stride + and_stride) * n, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_rows, and_rows = [], []
    for y in reversed(range(n)):  # bottom-up
        row = c.px[y]
        xor = bytearray(xor_stride)
        mask = bytearray(and_stride)
        for x, colour in enumerate(row):
            index = 0 if colour is None else colour
            xor[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if colour is None:
                mask[x // 8] |= 0x80 >> (x % 8)
        xor_rows.append(bytes(xor))
        and_rows.append(bytes(mask))
    return header + palette + b''.join(xor_rows) + b''.join(and_rows)


def ico_file(canvases):
    images = [bmp_image(c) for c in canvases]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, data in zip(canvases, images):
        out += struct.pack('<BBBBHHII', c.size % 256, c.size % 256, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, 'src', 'res', 'icons')
    os.makedirs(folder, exist_ok=True)
    files = {'anim%d.ico' % (140 + k): [anim_frame(k)] for k in range(6)}
    files['quillbox.ico'] = [app_icon_32(), app_icon_16()]
    for name, canvases in files.items():
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(ico_file(canvases))
        print(os.path.join(folder, name))


if __name__ == '__main__':
    main()
