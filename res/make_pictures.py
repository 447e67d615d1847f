#!/usr/bin/python3
"""Draws Quiran's pictures: the tool-bar action images, the folder-tree images, the print
dialog's button glyphs and sample picture, the shelf's wood-grain tile, the viewer's two hand
cursors and the program icon. Run with Debian's python3-pil:

    /usr/bin/python3 res/make_pictures.py

Images are drawn four (or more) times larger on a 24-unit grid and reduced by averaging, so
one-unit outlines land on whole pixels and stay sharp. Tool-bar and tree images are stored
as 24-bit BMP strips on magenta (255, 0, 255), the colour the image lists treat as
transparent; edge pixels are blended over a light button face first.
"""
import math
import os
import random

from PIL import Image, ImageDraw

HERE = os.path.dirname(os.path.abspath(__file__))
MAGENTA = (255, 0, 255)
FACE = (240, 240, 240)

OUT = (46, 52, 64)
WHITE = (255, 255, 255)
PAPER = (250, 248, 238)
BLUE, BLUE_LIGHT, BLUE_DARK = (52, 101, 164), (114, 159, 207), (32, 74, 135)
RED, RED_LIGHT, RED_DARK = (214, 16, 16), (239, 80, 80), (164, 0, 0)
GREEN, GREEN_LIGHT, GREEN_DARK = (78, 154, 6), (138, 226, 52), (46, 110, 0)
YELLOW, YELLOW_LIGHT, YELLOW_DARK = (237, 202, 40), (252, 233, 120), (176, 136, 0)
BROWN, BROWN_LIGHT, BROWN_DARK = (143, 89, 2), (193, 125, 17), (99, 60, 10)
GREY, GREY_LIGHT, GREY_DARK = (150, 152, 147), (215, 218, 212), (85, 87, 83)
SKY, HILL, SUN = (150, 200, 245), (96, 170, 60), (252, 210, 60)
ORANGE = (245, 121, 0)


class Pic:
    """A drawing on a 24-unit grid, rendered at `scale` pixels per unit."""

    def __init__(self, units=24, scale=4):
        self.s = scale
        self.units = units
        self.img = Image.new("RGBA", (units * scale, units * scale), (0, 0, 0, 0))
        self.d = ImageDraw.Draw(self.img)

    def _p(self, pts):
        return [(x * self.s, y * self.s) for x, y in pts]

    def rect(self, x0, y0, x1, y1, fill, outline=OUT):
        """Cells x0..x1-1, y0..y1-1; the outline is one unit inside the edge."""
        s = self.s
        if outline:
            self.d.rectangle([x0 * s, y0 * s, x1 * s - 1, y1 * s - 1], fill=outline)
            self.d.rectangle([(x0 + 1) * s, (y0 + 1) * s, (x1 - 1) * s - 1, (y1 - 1) * s - 1], fill=fill)
        else:
            self.d.rectangle([x0 * s, y0 * s, x1 * s - 1, y1 * s - 1], fill=fill)

    def poly(self, pts, fill, outline=OUT, width=1):
        """Vertices name cells: the outline runs through their centres."""
        pts = [(x + 0.5, y + 0.5) for x, y in pts]
        if fill:
            self.d.polygon(self._p(pts), fill=fill)
        if outline:
            self.line(list(pts) + [pts[0]], outline, width)

    def line(self, pts, color, width=1):
        self.d.line(self._p(pts), fill=color, width=int(width * self.s), joint="curve")

    def ellipse(self, x0, y0, x1, y1, fill, outline=OUT, width=1):
        s = self.s
        self.d.ellipse([x0 * s, y0 * s, x1 * s - 1, y1 * s - 1], fill=fill,
                       outline=outline, width=int(width * s) if outline else 0)

    def reduced(self, size=None):
        size = size or self.units
        small = self.img.convert("RGBa").resize((size, size), Image.BOX)
        return small.convert("RGBA")


def on_magenta(rgba):
    """Blends edge pixels over the button face; clear pixels become the magenta key."""
    out = Image.new("RGB", rgba.size, MAGENTA)
    src = rgba.load()
    dst = out.load()
    for y in range(rgba.size[1]):
        for x in range(rgba.size[0]):
            r, g, b, a = src[x, y]
            if a < 100:
                continue
            f = a / 255.0
            dst[x, y] = tuple(round(c * f + k * (1 - f)) for c, k in zip((r, g, b), FACE))
    return out


# ---- shared motifs --------------------------------------------------------------------------

def book(p, x, y, cover=BLUE, cover_dark=BLUE_DARK, cover_light=BLUE_LIGHT):
    """A closed book seen from the front, 14 x 19 units, pages showing on the right."""
    p.rect(x + 3, y + 1, x + 16, y + 20, PAPER)
    for i in range(3, 18, 3):
        p.line([(x + 14.5, y + 1.5 + i), (x + 14.5, y + 1.5 + i)], GREY_LIGHT)
    p.rect(x, y, x + 14, y + 19, cover)
    p.rect(x + 1, y + 1, x + 4, y + 18, cover_dark, outline=None)
    p.line([(x + 4.5, y + 1), (x + 4.5, y + 18)], OUT)
    p.rect(x + 6, y + 4, x + 12, y + 8, cover_light, outline=None)


def folder_closed(p, x, y, w=20, h=15):
    p.poly([(x, y + 2), (x + 2, y), (x + 8, y), (x + 10, y + 2), (x + w - 1, y + 2),
            (x + w - 1, y + h - 1), (x, y + h - 1)], YELLOW_DARK)
    p.poly([(x, y + 5), (x + w - 1, y + 5), (x + w - 1, y + h - 1), (x, y + h - 1)], YELLOW)
    p.line([(x + 1, y + 6), (x + w - 2, y + 6)], YELLOW_LIGHT)


def plus(p, cx, cy, fill=GREEN, dark=GREEN_DARK):
    """A plus sign 9 units across centred on cell (cx, cy)."""
    pts = [(cx - 1, cy - 4), (cx + 2, cy - 4), (cx + 2, cy - 1), (cx + 5, cy - 1), (cx + 5, cy + 2),
           (cx + 2, cy + 2), (cx + 2, cy + 5), (cx - 1, cy + 5), (cx - 1, cy + 2), (cx - 4, cy + 2),
           (cx - 4, cy - 1), (cx - 1, cy - 1)]
    p.poly([(a - 1, b - 1) for a, b in pts], fill, dark)


def minus(p, cx, cy, fill=RED, dark=RED_DARK):
    p.rect(cx - 5, cy - 2, cx + 5, cy + 2, fill, dark)


def photo(p, x, y, w=13, h=11):
    p.rect(x, y, x + w, y + h, WHITE)
    p.rect(x + 2, y + 2, x + w - 2, y + h - 2, SKY, outline=None)
    p.poly([(x + 2, y + h - 2), (x + 2, y + h - 5), (x + 5, y + h - 7), (x + 8, y + h - 4),
            (x + w - 2, y + h - 6), (x + w - 2, y + h - 2)], HILL, outline=None)
    p.ellipse(x + w - 5, y + 3, x + w - 3, y + 5, SUN, outline=None)


def photo_stack(p, x, y):
    photo(p, x, y, 13, 11)
    photo(p, x + 4, y + 4, 13, 11)


# ---- the action images -----------------------------------------------------------------------

def action_new_album():
    p = Pic()
    book(p, 2, 3)
    # A yellow star burst in the top right corner says "new".
    cx, cy, pts = 18, 6, []
    for i in range(16):
        r = 5.5 if i % 2 == 0 else 2.8
        a = math.pi * 2 * i / 16 - math.pi / 2
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    p.poly(pts, (255, 225, 40), ORANGE)
    return p


def action_delete_album():
    p = Pic()
    book(p, 1, 1)
    p.ellipse(7, 7, 24, 24, None, RED, width=2.4)
    p.line([(9.9, 9.9), (21.1, 21.1)], RED, 2.4)
    return p


def action_exit():
    p = Pic()
    p.rect(2, 1, 15, 23, (70, 56, 44))  # the dark doorway
    p.poly([(3, 2), (11, 4), (11, 23), (3, 22)], BROWN_LIGHT, BROWN_DARK)  # the door, swung open
    p.line([(9, 13), (9, 13.5)], YELLOW, 1.4)  # its knob
    p.poly([(12, 10), (17, 10), (17, 6), (23, 12), (17, 18), (17, 14), (12, 14)], GREEN_LIGHT, GREEN_DARK)
    return p


def action_add_folder():
    p = Pic()
    folder_closed(p, 1, 3)
    plus(p, 18, 17)
    return p


def action_delete_folder():
    p = Pic()
    folder_closed(p, 1, 3)
    minus(p, 18, 18)
    return p


def action_add_pictures():
    p = Pic()
    photo_stack(p, 1, 1)
    plus(p, 18, 17)
    return p


def action_delete_pictures():
    p = Pic()
    photo_stack(p, 1, 1)
    minus(p, 18, 18)
    return p


def action_print():
    p = Pic()
    p.rect(6, 1, 18, 10, WHITE)  # paper going in
    p.poly([(2, 9), (22, 9), (22, 18), (2, 18)], GREY_LIGHT)
    p.rect(3, 10, 21, 12, WHITE, outline=None)
    p.line([(4, 15.5), (20, 15.5)], GREY_DARK)
    p.rect(18, 11, 20, 13, GREEN_LIGHT, outline=None)  # the lamp
    p.rect(5, 15, 19, 23, WHITE)  # the printed sheet
    for yy in (17.5, 19.5):
        p.line([(7, yy), (16, yy)], BLUE_LIGHT)
    return p


# ---- the folder-tree images ------------------------------------------------------------------

def tree_open_book():
    p = Pic()
    p.poly([(0, 7), (12, 9), (23, 7), (23, 20), (12, 22), (0, 20)], BLUE, BLUE_DARK)
    p.poly([(1, 5), (11.5, 7), (11.5, 20), (1, 18)], PAPER)
    p.poly([(12.5, 7), (22, 5), (22, 18), (12.5, 20)], PAPER)
    for i in range(4):
        y = 10.5 + i * 2
        p.line([(3, y), (10, y)], GREY_LIGHT)
        p.line([(14, y), (21, y)], GREY_LIGHT)
    return p


def tree_closed_folder():
    p = Pic()
    folder_closed(p, 1, 4, 22, 16)
    return p


def tree_open_folder():
    p = Pic()
    p.poly([(1, 6), (3, 4), (9, 4), (11, 6), (20, 6), (20, 20), (1, 20)], YELLOW_DARK)
    p.rect(4, 7, 18, 16, WHITE)
    p.poly([(5, 11), (23, 11), (20, 20), (1, 20)], YELLOW)
    p.line([(5.5, 12), (21.5, 12)], YELLOW_LIGHT)
    return p


def tree_sheets():
    p = Pic()
    for i, (x, y) in enumerate([(8, 1), (5, 3), (2, 5)]):
        p.rect(x, y, x + 14, y + 18, WHITE if i == 2 else PAPER)
    for yy in (9.5, 12.5, 15.5, 18.5):
        p.line([(4, yy), (13, yy)], BLUE_LIGHT)
    return p


def tree_photos():
    p = Pic()
    photo(p, 8, 2, 14, 12)
    photo(p, 5, 6, 14, 12)
    photo(p, 1, 10, 14, 12)
    return p


# ---- the shelf tile --------------------------------------------------------------------------

def shelf_tile(size=124):
    """Light wood grain that repeats without seams: every term is periodic in the tile."""
    rnd = random.Random(1932)

    def make_noise(cells_x, cells_t):
        """Value noise with the tile's period in both directions, smoothly interpolated."""
        grid = [[rnd.random() for _ in range(cells_x)] for _ in range(cells_t)]

        def noise(x, t):
            fx = (x % size) / size * cells_x
            ft = (t % size) / size * cells_t
            x0, t0 = int(fx), int(ft)
            ax, at = fx - x0, ft - t0
            ax, at = ax * ax * (3 - 2 * ax), at * at * (3 - 2 * at)
            x1, t1 = (x0 + 1) % cells_x, (t0 + 1) % cells_t
            top = grid[t0][x0] * (1 - ax) + grid[t0][x1] * ax
            bottom = grid[t1][x0] * (1 - ax) + grid[t1][x1] * ax
            return top * (1 - at) + bottom * at
        return noise

    # Every argument below is x or t times a whole number, so the tile repeats exactly.
    fibres, fine, slow = make_noise(4, 62), make_noise(8, 124), make_noise(2, 6)

    light, dark = (241, 220, 184), (196, 153, 102)
    img = Image.new("RGB", (size, size))
    px = img.load()
    tau = 2 * math.pi
    for y in range(size):
        for x in range(size):
            t = y + 1.6 * math.sin(tau * x / size) + 0.7 * math.sin(tau * 2 * x / size + 1.3)
            # Growth rings: thin dark lines, unevenly spaced by a slowly varying phase.
            phase = 3.0 * slow(x, t) + 0.6 * math.sin(tau * 2 * t / size)
            ring = (0.5 + 0.5 * math.sin(tau * 6 * t / size + phase)) ** 8
            fibre = fibres(x, t)  # long streaks along the grain
            v = min(1.0, 0.55 * ring + 0.28 * fibre + 0.12 * fine(x, t))
            px[x, y] = tuple(round(l + (d - l) * v) for l, d in zip(light, dark))
    return img


# ---- the print dialog ------------------------------------------------------------------------

def printer(p, paper=WHITE):
    """A desk printer 14 x 9 units seen from the front, a sheet coming out below."""
    p.rect(4, 1, 12, 6, paper)  # paper going in
    p.rect(1, 5, 15, 12, GREY_LIGHT)
    p.line([(2.5, 9.5), (13.5, 9.5)], GREY_DARK)
    p.rect(12, 6, 14, 8, GREEN_LIGHT, outline=None)  # the lamp
    p.rect(3, 10, 13, 15, WHITE)  # the printed sheet
    p.line([(5, 12.5), (11, 12.5)], BLUE_LIGHT)


def glyph_printer_setup():
    p = Pic(16)
    printer(p)
    # A gear over the printer's corner.
    cx, cy = 11.5, 11.5
    teeth = [(cx + 4.2 * math.cos(a * math.pi / 4), cy + 4.2 * math.sin(a * math.pi / 4)) for a in range(8)]
    for x, y in teeth:
        p.line([(cx, cy), (x, y)], GREY_DARK, 1.6)
    p.ellipse(8.5, 8.5, 15.5, 15.5, GREY, GREY_DARK)
    p.ellipse(10.5, 10.5, 13.5, 13.5, WHITE, outline=None)
    return p


def glyph_print():
    p = Pic(16)
    printer(p)
    return p


def glyph_close():
    """An open door with an arrow leaving through it."""
    p = Pic(16)
    p.rect(3, 1, 11, 15, BROWN_LIGHT, BROWN_DARK)
    p.rect(4, 2, 10, 14, BROWN, outline=None)
    p.rect(8, 7, 10, 9, YELLOW, outline=None)  # the handle
    p.poly([(9, 7), (12, 7), (12, 4), (15, 8), (12, 12), (12, 9), (9, 9)], GREEN, GREEN_DARK)
    return p


def print_sample(w=64, h=51, scale=4):
    """The picture shown in the print styles' picture boxes: mountains by a lake under the sun,
    stored with 256 colours."""
    img = Image.new("RGB", (w * scale, h * scale))
    d = ImageDraw.Draw(img)
    s = scale
    for y in range(h * s):  # the sky, deeper at the top
        f = y / (h * s * 0.55)
        d.line([(0, y), (w * s, y)], fill=tuple(round(a + (b - a) * min(f, 1)) for a, b in
                                               zip((60, 120, 210), (170, 210, 245))))
    d.ellipse([44 * s, 4 * s, 54 * s, 14 * s], fill=(252, 230, 110))
    grey, snow = (96, 102, 128), (245, 245, 250)
    d.polygon([(0, 30 * s), (14 * s, 10 * s), (27 * s, 24 * s), (36 * s, 12 * s), (52 * s, 26 * s),
               (64 * s, 20 * s), (64 * s, 32 * s), (0, 32 * s)], fill=grey)
    d.polygon([(11 * s, 14 * s), (14 * s, 10 * s), (17 * s, 13 * s)], fill=snow)
    d.polygon([(33 * s, 15 * s), (36 * s, 12 * s), (39 * s, 15 * s)], fill=snow)
    d.rectangle([0, 29 * s, w * s, 36 * s], fill=(70, 130, 180))  # the lake
    d.polygon([(0, 36 * s), (20 * s, 34 * s), (40 * s, 36 * s), (64 * s, 33 * s), (64 * s, h * s), (0, h * s)],
              fill=(80, 150, 60))
    for x in (5, 10, 56):  # fir trees
        d.polygon([(x * s, 26 * s), ((x - 3) * s, 38 * s), ((x + 3) * s, 38 * s)], fill=(30, 90, 40))
        d.rectangle([(x * s - s // 2, 38 * s), (x * s + s // 2, 41 * s)], fill=(90, 60, 30))
    d.ellipse([24 * s, 43 * s, 27 * s, 46 * s], fill=(230, 60, 60))
    d.ellipse([30 * s, 45 * s, 33 * s, 48 * s], fill=(250, 210, 40))
    return img.resize((w, h), Image.BOX).quantize(256, method=Image.Quantize.MEDIANCUT)


# ---- the viewer's hand cursors ---------------------------------------------------------------

def hand_mask(closed, scale=8):
    """The hand's shape on a 32-unit grid, as a 32 x 32 mask (255 inside)."""
    img = Image.new("L", (32 * scale, 32 * scale), 0)
    d = ImageDraw.Draw(img)

    def box(x0, y0, x1, y1, r):
        d.rounded_rectangle([x0 * scale, y0 * scale, x1 * scale - 1, y1 * scale - 1], radius=r * scale, fill=255)

    box(9, 14, 25, 29, 4)  # the palm
    if closed:
        for i, x in enumerate((9.5, 13.5, 17.5, 21.5)):  # curled fingers: knuckles only
            box(x, 10 + (i % 3 == 0), x + 3.4, 17, 1.7)
        box(6, 15, 11, 21, 2.4)  # the thumb folded in
    else:
        for x, top in ((9.5, 6), (13.5, 3), (17.5, 4), (21.5, 8)):  # spread fingers
            box(x, top, x + 3, 17, 1.5)
        d.polygon([(s * scale, t * scale) for s, t in ((3, 15), (6, 13), (11, 19), (11, 24), (8, 24))], fill=255)
    small = img.resize((32, 32), Image.BOX).point(lambda v: 255 if v >= 128 else 0)
    # Black creases between the fingers (the edge drawn round the whole hand covers them).
    creases = ImageDraw.Draw(small)
    for x in (13, 17, 21):
        creases.line([(x, 10 if closed else 7), (x, 16 if closed else 17)], fill=0)
    return small


def hand_cursor(closed):
    """A 32 x 32 monochrome cursor file: the hand white with a black edge, its hot spot in the
    palm's middle."""
    from PIL import ImageFilter
    inside = hand_mask(closed)
    edge = inside.filter(ImageFilter.MaxFilter(3)).filter(ImageFilter.MaxFilter(3)).filter(ImageFilter.MinFilter(3))
    xor_rows, and_rows = [], []
    for y in range(31, -1, -1):  # bottom row first
        xor_bits = and_bits = 0
        for x in range(32):
            bit = 1 << (31 - x)
            if inside.getpixel((x, y)):
                xor_bits |= bit  # white
            elif not edge.getpixel((x, y)):
                and_bits |= bit  # transparent; the edge stays black
        xor_rows.append(xor_bits.to_bytes(4, "big"))
        and_rows.append(and_bits.to_bytes(4, "big"))
    header = (40).to_bytes(4, "little") + (32).to_bytes(4, "little") + (64).to_bytes(4, "little")
    header += (1).to_bytes(2, "little") + (1).to_bytes(2, "little") + bytes(24)
    image = header + bytes([0, 0, 0, 0, 255, 255, 255, 0]) + b"".join(xor_rows) + b"".join(and_rows)
    hot_x, hot_y = 16, 18
    entry = bytes([32, 32, 2, 0]) + hot_x.to_bytes(2, "little") + hot_y.to_bytes(2, "little")
    entry += len(image).to_bytes(4, "little") + (22).to_bytes(4, "little")
    return (0).to_bytes(2, "little") + (2).to_bytes(2, "little") + (1).to_bytes(2, "little") + entry + image


# ---- the program icon ------------------------------------------------------------------------

def program_icon(scale):
    """A red photo album with a picture on its cover, standing beside a blue one."""
    p = Pic(24, scale)
    p.rect(14, 3, 23, 23, BLUE)
    p.rect(15, 4, 17, 22, BLUE_DARK, outline=None)
    p.rect(1, 1, 18, 23, RED)
    p.rect(2, 2, 5, 22, RED_DARK, outline=None)
    p.line([(5.5, 2), (5.5, 22)], OUT)
    photo(p, 7, 6, 10, 10)
    return p


def main():
    actions = [action_new_album, action_delete_album, action_exit, action_add_folder, action_delete_folder,
               action_add_pictures, action_delete_pictures, action_print]
    tree = [tree_open_book, tree_closed_folder, tree_open_folder, tree_sheets, tree_photos]
    for name, makers in (("actions.bmp", actions), ("tree.bmp", tree)):
        strip = Image.new("RGB", (24 * len(makers), 24), MAGENTA)
        for i, make in enumerate(makers):
            strip.paste(on_magenta(make().reduced()), (24 * i, 0))
        strip.save(os.path.join(HERE, name))
    glyphs = [glyph_printer_setup, glyph_print, glyph_close]
    strip = Image.new("RGB", (16 * len(glyphs), 16), MAGENTA)
    for i, make in enumerate(glyphs):
        strip.paste(on_magenta(make().reduced()), (16 * i, 0))
    strip.save(os.path.join(HERE, "print_glyphs.bmp"))
    print_sample().save(os.path.join(HERE, "print_sample.bmp"))
    shelf_tile().save(os.path.join(HERE, "shelf.bmp"))
    for name, closed in (("hand_open.cur", False), ("hand_close.cur", True)):
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(hand_cursor(closed))
    icons = [program_icon(8).reduced(n) for n in (48, 32, 16)]
    icons[0].save(os.path.join(HERE, "quiran.ico"), sizes=[(48, 48), (32, 32), (16, 16)], append_images=icons[1:],
                  bitmap_format="bmp")


if __name__ == "__main__":
    main()
