#!/usr/bin/env python3
"""Draws Quillbox's icons: the program's own .ico files and the desktop theme's icons.

    python3 tools/make-icons.py [ico-folder [theme-folder]]
        (defaults: src/res/icons and data/icons/hicolor)

Writes anim140.ico ... anim145.ico, the six frames of the About box's animation,
and quillbox.ico, the application icon, each at 16, 24, 32, 48, 64 and 256 pixels in
full colour with alpha (32-bit BMPs; the 256-pixel animation frames are PNGs inside
the .ico, as Windows keeps its large icons, so the program stays small). Both are
drawn from one list of shapes in a 256 x 256 design space, which is also written
as the scalable SVG of the application icon. Into the theme folder it writes the
application icon as <size>x<size>/apps/<id>.png for 16 to 256 pixels and as
scalable/apps/<id>.svg. Standard library only; the PNGs are committed, so building
the program does not run this.

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
# The desktop's id of the program: the icon files are named after it.
APP_ID = 'org.quillbox.Quillbox'

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
# The application icon at large sizes, drawn from shapes (not scaled pixels)
#
# One list of shapes in a 256 x 256 design space gives both the scalable SVG and
# the PNGs of 24 pixels and up; the 16 and 32 pixel images stay the hand-placed
# pixels above, which read better at those sizes.

INK = '#2b2f36'
LAMP_ON = ('#3ddc5c', '#c9f7d3')
LAMP_OFF = ('#1e6b31', '#3d8f52')


def machine_shapes(lamp=LAMP_ON, scanning=False):
    """The machine: tray, body, slots, scan window and panel, back to front."""
    glass = ('#58c9d0', '#ffffff') if scanning else ('#1b7f86', '#7fd6dc')
    return [
        # Output tray.
        ('rrect', '#5b626c', 30, 200, 226, 226, 8),
        ('rrect', '#c3c8cf', 36, 204, 220, 218, 5),
        # Body: outline, lid, front, highlight.
        ('rrect', INK, 16, 88, 240, 208, 18),
        ('rrect', '#d9dde2', 22, 94, 234, 202, 13),
        ('rrect', '#8d95a0', 22, 94, 234, 124, 13),
        ('rect', '#8d95a0', 22, 112, 234, 124),
        ('rect', '#f5f7f9', 22, 124, 234, 128),
        ('rect', '#aab1ba', 22, 192, 234, 196),
        # Feed slot in the lid and exit slot in the front.
        ('rrect', '#15171b', 62, 102, 194, 110, 4),
        ('rrect', '#15171b', 62, 180, 194, 188, 4),
        # Scan window: its light bar is bright while a sheet passes the glass.
        ('rrect', '#5b626c', 38, 136, 150, 168, 5),
        ('rrect', glass[0], 42, 140, 146, 164, 3),
        ('rect', glass[1], 42, 146, 146, 150),
        # Panel: ready light and two buttons.
        ('ellipse', INK, 196, 146, 11, 11),
        ('ellipse', lamp[0], 196, 146, 8, 8),
        ('ellipse', lamp[1], 193, 143, 3, 3),
        ('rrect', '#5b626c', 176, 166, 194, 174, 3),
        ('rrect', '#5b626c', 202, 166, 220, 174, 3),
    ]


SHAPES = [
    # (kind, colour, geometry...)
    # Sheet waiting in the feed, behind the machine.
    ('rrect', '#7d8590', 70, 14, 186, 104, 4),
    ('rrect', '#ffffff', 75, 19, 181, 104, 2),
    ('rrect', '#274690', 88, 34, 168, 40, 2),
    ('rrect', '#274690', 88, 50, 160, 56, 2),
    ('rrect', '#274690', 88, 66, 140, 72, 2),
] + machine_shapes() + [
    # Printed sheet coming out onto the tray, in front.
    ('rrect', '#7d8590', 70, 184, 186, 246, 4),
    ('rrect', '#ffffff', 75, 184, 181, 241, 2),
    ('rrect', '#274690', 88, 198, 168, 204, 2),
    ('rrect', '#274690', 88, 212, 160, 218, 2),
    ('rrect', '#274690', 88, 226, 132, 232, 2),
]

# The animation: one sheet, SHEET_HEIGHT tall, goes in at the feed slot and comes out
# of the exit slot onto the tray, ANIM_STEP further down in each of the six frames.
SHEET_HEIGHT = 96
ANIM_FIRST_TOP, ANIM_STEP = 10, 28
FEED_SLOT_MIDDLE, EXIT_SLOT_MIDDLE = 106, 184
SCAN_LINE = 148


def sheet_shapes(top, y0, y1):
    """The sheet with its top edge at top and four lines of text, shown only between
    rows y0 and y1 of the design space."""
    parts = [
        ('rrect', '#7d8590', 70, top, 186, top + SHEET_HEIGHT, 4),
        ('rrect', '#ffffff', 75, top + 5, 181, top + SHEET_HEIGHT - 5, 2),
    ]
    for offset, right in ((18, 168), (34, 160), (50, 168), (66, 140)):
        parts.append(('rrect', '#274690', 88, top + offset, right, top + offset + 6, 2))
    return [('clip', y0, y1, shape) for shape in parts]


def anim_shapes(k):
    """Frame k (0..5): the part of the sheet still above the feed slot behind the
    machine, the part already out of the exit slot in front; the scan window lights
    while the sheet covers its line, and the ready light blinks."""
    top = ANIM_FIRST_TOP + ANIM_STEP * k
    scanning = top <= SCAN_LINE <= top + SHEET_HEIGHT
    return (sheet_shapes(top, -1, FEED_SLOT_MIDDLE)
            + machine_shapes(LAMP_ON if k % 2 == 0 else LAMP_OFF, scanning)
            + sheet_shapes(top, EXIT_SLOT_MIDDLE, 257))


def quill_shapes():
    """The quill lying from its nib near the feed up to the top right corner."""
    import math
    ax, ay, bx, by = 134.0, 100.0, 242.0, 6.0
    length = math.hypot(bx - ax, by - ay)
    dx, dy = (bx - ax) / length, (by - ay) / length
    nx, ny = -dy, dx          # points up and to the left of the quill

    def at(t, w):
        return (ax + dx * length * t + nx * w, ay + dy * length * t + ny * w)

    vane = [at(0.22, 0)] + [at(t, w) for t, w in ((0.35, 15), (0.55, 20), (0.78, 17), (0.93, 9))] + [at(1.0, 0)]
    vane += [at(t, -w) for t, w in ((0.9, 6), (0.7, 10), (0.45, 10), (0.3, 6))]
    edge = [at(0.2, 0)] + [at(t, w) for t, w in ((0.35, 18), (0.55, 23), (0.78, 20), (0.93, 12))] + [at(1.02, 0)]
    edge += [at(t, -w) for t, w in ((0.9, 9), (0.7, 13), (0.45, 13), (0.3, 9))]
    shaft = [at(0.06, 3), at(1.0, 1.5), at(1.0, -1.5), at(0.06, -3)]
    nib = [at(-0.02, 0), at(0.08, 5), at(0.08, -5)]
    return [
        ('poly', '#6f5a12', edge),
        ('poly', '#f4cf4e', vane),
        ('poly', '#fff3b8', [at(0.4, 3), at(0.55, 14), at(0.75, 12), at(0.62, 3)]),
        ('poly', '#8a6d10', shaft),
        ('poly', '#15171b', nib),
    ]


def all_shapes():
    return SHAPES + quill_shapes()


def colour_of(shape):
    return colour_of(shape[3]) if shape[0] == 'clip' else shape[1]


def parse_colour(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


def inside(shape, x, y):
    kind = shape[0]
    if kind == 'clip':
        _, y0, y1, inner = shape
        return y0 <= y <= y1 and inside(inner, x, y)
    if kind == 'rect':
        _, _, x0, y0, x1, y1 = shape
        return x0 <= x <= x1 and y0 <= y <= y1
    if kind == 'rrect':
        _, _, x0, y0, x1, y1, r = shape
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    if kind == 'ellipse':
        _, _, cx, cy, rx, ry = shape
        return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0
    if kind == 'poly':
        pts = shape[2]
        result = False
        j = len(pts) - 1
        for i in range(len(pts)):
            (xi, yi), (xj, yj) = pts[i], pts[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    raise ValueError(kind)


def bounds(shape):
    kind = shape[0]
    if kind == 'clip':
        _, y0, y1, inner = shape
        x0, iy0, x1, iy1 = bounds(inner)
        return x0, max(y0, iy0), x1, min(y1, iy1)
    if kind in ('rect', 'rrect'):
        return shape[2], shape[3], shape[4], shape[5]
    if kind == 'ellipse':
        _, _, cx, cy, rx, ry = shape
        return cx - rx, cy - ry, cx + rx, cy + ry
    xs = [p[0] for p in shape[2]]
    ys = [p[1] for p in shape[2]]
    return min(xs), min(ys), max(xs), max(ys)


def render(size, samples=4, shapes=None):
    """RGBA rows of the shapes (the application icon's by default) at size x size,
    each shape's coverage from samples x samples points per pixel, painted in order."""
    scale = 256.0 / size
    rgba = [[0.0, 0.0, 0.0, 0.0] for _ in range(size * size)]
    offsets = [(i + 0.5) / samples for i in range(samples)]
    for shape in shapes if shapes is not None else all_shapes():
        r, g, b = parse_colour(colour_of(shape))
        x0, y0, x1, y1 = bounds(shape)
        px0, py0 = max(0, int(x0 / scale)), max(0, int(y0 / scale))
        px1, py1 = min(size - 1, int(x1 / scale)), min(size - 1, int(y1 / scale))
        for py in range(py0, py1 + 1):
            for px in range(px0, px1 + 1):
                hits = sum(1 for oy in offsets for ox in offsets
                           if inside(shape, (px + ox) * scale, (py + oy) * scale))
                if not hits:
                    continue
                a = hits / (samples * samples)
                p = rgba[py * size + px]
                # Source over destination, premultiplied.
                p[0] = r * a + p[0] * (1 - a)
                p[1] = g * a + p[1] * (1 - a)
                p[2] = b * a + p[2] * (1 - a)
                p[3] = a + p[3] * (1 - a)
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            pr, pg, pb, pa = rgba[y * size + x]
            if pa <= 0:
                row += b'\0\0\0\0'
            else:
                row += bytes((round(pr / pa), round(pg / pa), round(pb / pa), round(pa * 255)))
        rows.append(bytes(row))
    return rows


def canvas_rows(c):
    """RGBA rows of one of the hand-placed palette pictures."""
    rows = []
    for y in range(c.size):
        row = bytearray()
        for colour in c.px[y]:
            row += b'\0\0\0\0' if colour is None else bytes(PALETTE[colour] + (255,))
        rows.append(bytes(row))
    return rows


def png_file(rows):
    import zlib
    size = len(rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)

    raw = b''.join(b'\0' + row for row in rows)
    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9))
            + chunk(b'IEND', b''))


def svg_file():
    def num(v):
        return ('%.2f' % v).rstrip('0').rstrip('.')

    parts = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">']
    for shape in all_shapes():
        kind, colour = shape[0], shape[1]
        if kind in ('rect', 'rrect'):
            x0, y0, x1, y1 = shape[2:6]
            r = shape[6] if kind == 'rrect' else 0
            parts.append('  <rect x="%s" y="%s" width="%s" height="%s"%s fill="%s"/>' % (
                num(x0), num(y0), num(x1 - x0), num(y1 - y0),
                ' rx="%s"' % num(r) if r else '', colour))
        elif kind == 'ellipse':
            parts.append('  <ellipse cx="%s" cy="%s" rx="%s" ry="%s" fill="%s"/>' % (
                num(shape[2]), num(shape[3]), num(shape[4]), num(shape[5]), colour))
        else:
            pts = ' '.join('%s,%s' % (num(x), num(y)) for x, y in shape[2])
            parts.append('  <polygon points="%s" fill="%s"/>' % (pts, colour))
    parts.append('</svg>')
    return '\n'.join(parts) + '\n'


# ---------------------------------------------------------------------------
# ICO writing

def bmp32_image(rows):
    """The BMP part of one full-colour ICO image: 32 bits per pixel (BGRA, the alpha
    channel is the transparency) and an AND mask that is set where a pixel is clear."""
    n = len(rows)
    and_stride = ((n + 31) // 32) * 4
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 32, 0, (n * 4 + and_stride) * n, 0, 0, 0, 0)
    xor_rows, and_rows = [], []
    for row in reversed(rows):  # bottom-up
        xor = bytearray()
        mask = bytearray(and_stride)
        for x in range(n):
            r, g, b, a = row[4 * x:4 * x + 4]
            xor += bytes((b, g, r, a))
            if a == 0:
                mask[x // 8] |= 0x80 >> (x % 8)
        xor_rows.append(bytes(xor))
        and_rows.append(bytes(mask))
    return header + b''.join(xor_rows) + b''.join(and_rows)


def ico_file_rgba(pictures, png_from=None):
    """An ICO of full-colour images, one per size (256 is written as 0, as ICO does);
    sizes of png_from and up are stored as PNG, the others as BMP."""
    sizes = sorted(pictures)
    images = [png_file(pictures[n]) if png_from and n >= png_from else bmp32_image(pictures[n]) for n in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)
    print(path)


ICON_SIZES = (16, 24, 32, 48, 64, 256)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, 'src', 'res', 'icons')
    theme = sys.argv[2] if len(sys.argv) > 2 else os.path.join(root, 'data', 'icons', 'hicolor')
    # The animation frames at every size a scaled screen asks of the About box's
    # 32-pixel icon (48 at 150 %, 64 at 200 %) and the other icon sizes.
    for k in range(6):
        frames = {size: render(size, samples=8 if size <= 64 else 4, shapes=anim_shapes(k))
                  for size in ICON_SIZES}
        write(os.path.join(folder, 'anim%d.ico' % (140 + k)), ico_file_rgba(frames, png_from=256))
    # The desktop's icon theme: the hand-placed pixels at 16 and 32, the shapes above
    # everywhere else, and the shapes themselves as the scalable icon.
    pictures = {16: canvas_rows(app_icon_16()), 32: canvas_rows(app_icon_32())}
    for size in (24, 48, 64, 128, 256):
        pictures[size] = render(size, samples=8 if size <= 64 else 4)
    # The program's own icon (window, taskbar, Explorer, the MSI, the About box) has the
    # same pictures in full colour with alpha, 16 to 256 pixels, for every screen scale.
    write(os.path.join(folder, 'quillbox.ico'),
          ico_file_rgba({n: pictures[n] for n in ICON_SIZES}))
    for size, rows in sorted(pictures.items()):
        write(os.path.join(theme, '%dx%d' % (size, size), 'apps', APP_ID + '.png'), png_file(rows))
    write(os.path.join(theme, 'scalable', 'apps', APP_ID + '.svg'), svg_file().encode())


if __name__ == '__main__':
    main()
