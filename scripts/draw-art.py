#!/usr/bin/python3
"""Draws the tool-bar and tool-palette pictures into art/ as PNG files.

Each picture is drawn once on a grid of `size` units (24 for tool-bar
commands, 20 for tools, 8 for the small arrows), supersampled and reduced to
1x and 2x files: art/<name>.png and art/<name>@2x.png. Run with Debian's
python3 (python3-pil): /usr/bin/python3 scripts/draw-art.py
"""
import os
import sys

from PIL import Image, ImageDraw

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "art")
SS = 16  # supersampling: pixels per unit while drawing

INK = (45, 45, 48, 255)
PAPER = (252, 252, 250, 255)
SHADE = (205, 207, 202, 255)
BLUE = (46, 104, 178, 255)
LIGHTBLUE = (150, 190, 235, 255)
RED = (204, 32, 32, 255)
GREEN = (60, 150, 20, 255)
YELLOW = (250, 214, 60, 255)
ORANGE = (236, 140, 30, 255)
BROWN = (160, 100, 40, 255)
PINK = (240, 130, 160, 255)
GREY = (128, 128, 128, 255)


class Pic:
    def __init__(self, size):
        self.size = size
        self.img = Image.new("RGBA", (size * SS, size * SS), (0, 0, 0, 0))
        self.d = ImageDraw.Draw(self.img)

    def _p(self, pts):
        return [(x * SS, y * SS) for x, y in pts]

    def _box(self, x0, y0, x1, y1):
        return [x0 * SS, y0 * SS, x1 * SS, y1 * SS]

    def line(self, pts, color=INK, w=1.5, round_ends=True):
        self.d.line(self._p(pts), fill=color, width=int(w * SS), joint="curve")
        if round_ends:
            for x, y in (pts[0], pts[-1]):
                r = w / 2
                self.d.ellipse(self._box(x - r, y - r, x + r, y + r), fill=color)

    def rect(self, x0, y0, x1, y1, fill=None, outline=INK, w=1.0):
        self.d.rectangle(self._box(x0, y0, x1, y1), fill=fill, outline=outline, width=int(w * SS) if outline else 0)

    def rrect(self, x0, y0, x1, y1, r, fill=None, outline=INK, w=1.0):
        self.d.rounded_rectangle(self._box(x0, y0, x1, y1), radius=r * SS, fill=fill, outline=outline,
                                 width=int(w * SS) if outline else 0)

    def ellipse(self, x0, y0, x1, y1, fill=None, outline=INK, w=1.0):
        self.d.ellipse(self._box(x0, y0, x1, y1), fill=fill, outline=outline, width=int(w * SS) if outline else 0)

    def poly(self, pts, fill=None, outline=INK, w=1.0):
        self.d.polygon(self._p(pts), fill=fill)
        if outline:
            self.line(list(pts) + [pts[0]], outline, w, round_ends=False)

    def arc(self, x0, y0, x1, y1, start, end, color=INK, w=1.5):
        self.d.arc(self._box(x0, y0, x1, y1), start, end, fill=color, width=int(w * SS))

    def checker(self, x0, y0, x1, y1, n=4, outline=INK):
        cw, ch = (x1 - x0) / n, (y1 - y0) / n
        for j in range(n):
            for i in range(n):
                c = SHADE if (i + j) % 2 else PAPER
                self.rect(x0 + i * cw, y0 + j * ch, x0 + (i + 1) * cw, y0 + (j + 1) * ch, fill=c, outline=None)
        if outline:
            self.rect(x0, y0, x1, y1, outline=outline, w=1)

    def save(self, name):
        for scale, suffix in ((1, ""), (2, "@2x")):
            px = self.size * scale
            out = self.img.resize((px, px), Image.LANCZOS)
            out.save(os.path.join(OUT, name + suffix + ".png"), optimize=True)


# ---------------------------------------------------------------- shared parts

def page(p, x0, y0, x1, y1, fold=4):
    p.poly([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)], fill=PAPER, outline=INK, w=1)
    p.poly([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)], fill=SHADE, outline=INK, w=0.8)


def plus(p, cx, cy, r, color=GREEN, w=2.4):
    p.line([(cx - r, cy), (cx + r, cy)], color, w)
    p.line([(cx, cy - r), (cx, cy + r)], color, w)


def magnifier(p, cx, cy, r, handle=True, fill=(225, 238, 252, 255)):
    p.ellipse(cx - r, cy - r, cx + r, cy + r, fill=fill, outline=INK, w=1.6)
    if handle:
        k = r * 0.72
        p.line([(cx + k, cy + k), (cx + k + r * 0.8, cy + k + r * 0.8)], BROWN, 3.0)


def arrow_head(p, tip, a, b, color=INK):
    p.poly([tip, a, b], fill=color, outline=None)


def pointer(p, x, y, s=1.0, fill=PAPER):
    pts = [(0, 0), (0, 14), (3.5, 10.8), (6, 16), (8.2, 15), (5.8, 9.8), (10.2, 9.8)]
    p.poly([(x + px * s, y + py * s) for px, py in pts], fill=fill, outline=INK, w=1)


def dashed_rect(p, x0, y0, x1, y1, dash=2.0, w=1.2):
    # Marching ants: alternate black and white dashes along each side.
    def side(a, b):
        (ax, ay), (bx, by) = a, b
        length = abs(bx - ax) + abs(by - ay)
        n = max(1, int(length / dash))
        for i in range(n):
            t0, t1 = i / n, (i + 1) / n
            c = INK if i % 2 == 0 else PAPER
            p.line([(ax + (bx - ax) * t0, ay + (by - ay) * t0), (ax + (bx - ax) * t1, ay + (by - ay) * t1)], c, w,
                   round_ends=False)
    side((x0, y0), (x1, y0))
    side((x1, y0), (x1, y1))
    side((x1, y1), (x0, y1))
    side((x0, y1), (x0, y0))


def curved_arrow(p, mirrored, size=24, color=BLUE):
    def m(x, y):
        return (size - x, y) if mirrored else (x, y)
    # An arc from the right back to the left with the head at the left end.
    pts = []
    import math
    for i in range(0, 21):
        t = math.pi * (1.0 - i / 20.0)
        pts.append(m(12 + 7 * math.cos(t) * -1, 14 - 7 * math.sin(t)))
    p.line(pts[::-1][:18], color, 2.6)
    arrow_head(p, m(3, 14), m(9, 9.5), m(10, 16.5), color)


# ---------------------------------------------------------------- tool bar (24)

def tool_bar():
    items = {}

    def pic(name):
        def deco(f):
            items[name] = f
            return f
        return deco

    @pic("actToolNew")
    def _(p):
        page(p, 5, 2.5, 19, 21.5)
        p.poly([(16, 14), (17.2, 17), (20.5, 17.2), (18, 19.2), (19, 22.5), (16, 20.6), (13, 22.5), (14, 19.2),
                (11.5, 17.2), (14.8, 17)], fill=YELLOW, outline=ORANGE, w=0.8)

    @pic("actToolOpen")
    def _(p):
        p.poly([(2.5, 5.5), (9, 5.5), (11, 7.5), (19.5, 7.5), (19.5, 19.5), (2.5, 19.5)], fill=(220, 170, 80, 255),
               outline=INK, w=1)
        p.poly([(5.5, 10.5), (22.5, 10.5), (19.5, 19.5), (2.5, 19.5)], fill=YELLOW, outline=INK, w=1)

    @pic("actToolSave")
    def _(p):
        p.rrect(3, 3, 21, 21, 1.5, fill=BLUE, outline=INK, w=1)
        p.rect(7, 3, 17, 9.5, fill=PAPER, outline=INK, w=0.8)
        p.rect(13.5, 4.3, 15.5, 8.2, fill=INK, outline=None)
        p.rect(6, 13, 18, 21, fill=PAPER, outline=INK, w=0.8)
        for y in (15.5, 18):
            p.line([(8, y), (16, y)], SHADE, 1, round_ends=False)

    @pic("actToolCut")
    def _(p):
        p.line([(8, 3), (15.5, 15)], GREY, 2)
        p.line([(16, 3), (8.5, 15)], GREY, 2)
        p.ellipse(3.5, 14.5, 10, 21, fill=None, outline=RED, w=2)
        p.ellipse(14, 14.5, 20.5, 21, fill=None, outline=RED, w=2)
        p.ellipse(11.2, 9.2, 12.8, 10.8, fill=INK, outline=None)

    @pic("actToolCopy")
    def _(p):
        page(p, 3, 2.5, 14.5, 16.5, 3)
        page(p, 9.5, 7.5, 21, 21.5, 3)
        for y in (12.5, 15, 17.5):
            p.line([(11.5, y), (18.5, y)], LIGHTBLUE, 1, round_ends=False)

    @pic("actToolPaste")
    def _(p):
        p.rrect(4, 4.5, 18, 21.5, 1.5, fill=(190, 130, 60, 255), outline=INK, w=1)
        p.rrect(8, 2.5, 14, 6.5, 1, fill=SHADE, outline=INK, w=1)
        page(p, 10.5, 9.5, 21.5, 22, 3)
        for y in (14, 16.5, 19):
            p.line([(12.5, y), (19, y)], LIGHTBLUE, 1, round_ends=False)

    @pic("actToolUndo")
    def _(p):
        curved_arrow(p, False)

    @pic("actToolRedo")
    def _(p):
        curved_arrow(p, True)

    @pic("actToolHotspot")
    def _(p):
        p.ellipse(5, 5, 19, 19, outline=RED, w=1.8)
        p.ellipse(9.5, 9.5, 14.5, 14.5, outline=RED, w=1.4)
        for a, b in (((12, 1.5), (12, 7)), ((12, 17), (12, 22.5)), ((1.5, 12), (7, 12)), ((17, 12), (22.5, 12))):
            p.line([a, b], RED, 1.6)
        p.ellipse(11, 11, 13, 13, fill=INK, outline=None)

    @pic("actToolTest")
    def _(p):
        p.rrect(2.5, 2.5, 21.5, 21.5, 2, fill=(232, 242, 226, 255), outline=GREEN, w=1.2)
        pointer(p, 6.5, 4.5, 1.05)
        p.poly([(14.5, 13.5), (21, 17.5), (14.5, 21.5)], fill=GREEN, outline=None)

    @pic("actToolProp")
    def _(p):
        page(p, 4, 2.5, 18, 21.5)
        for y in (8, 11, 14, 17):
            p.line([(6.5, y), (13.5, y)], INK, 1, round_ends=False)
        p.ellipse(13, 12, 22, 21, fill=BLUE, outline=INK, w=0.8)
        p.rect(16.9, 15.6, 18.1, 19.3, fill=PAPER, outline=None)
        p.ellipse(16.8, 13.3, 18.2, 14.7, fill=PAPER, outline=None)

    @pic("actToolFilter")
    def _(p):
        p.checker(2.5, 2.5, 21.5, 21.5, 4)
        p.poly([(5, 5), (19, 5), (14, 12), (14, 19), (10, 21), (10, 12)], fill=BLUE, outline=INK, w=1)

    @pic("actToolAntiAlias")
    def _(p):
        # Jagged steps on the left, the smooth edge on the right.
        for i in range(5):
            p.rect(2 + i * 2, 18 - i * 2.5, 4 + i * 2, 20.5 - i * 2.5, fill=INK, outline=None)
        p.line([(13, 20), (22, 6)], (45, 45, 48, 90), 4.5)
        p.line([(13, 20), (22, 6)], INK, 2)

    @pic("actToolTrans")
    def _(p):
        p.checker(7, 7, 21.5, 21.5, 4)
        dashed_rect(p, 2.5, 2.5, 15.5, 15.5)

    @pic("actToolAuto")
    def _(p):
        magnifier(p, 10, 10, 7)
        for (x, y, dx, dy) in ((6.5, 6.5, 1, 1), (13.5, 6.5, -1, 1), (6.5, 13.5, 1, -1), (13.5, 13.5, -1, -1)):
            p.line([(x, y + 2.5 * dy), (x, y), (x + 2.5 * dx, y)], BLUE, 1.4)

    @pic("actToolEffect")
    def _(p):
        for i, c in enumerate([(170, 200, 240, 255), (120, 170, 230, 255), (70, 130, 210, 255)]):
            p.rect(2.5 + i * 3.5, 2.5 + i * 3.5, 13.5 + i * 3.5, 13.5 + i * 3.5, fill=c, outline=INK, w=1)
        star = [(17, 1.5), (18.3, 5.2), (22, 5.5), (19.2, 7.8), (20.2, 11.5), (17, 9.3), (13.8, 11.5),
                (14.8, 7.8), (12, 5.5), (15.7, 5.2)]
        p.poly(star, fill=YELLOW, outline=ORANGE, w=0.8)

    # The document window's band.
    @pic("actNewImage")
    def _(p):
        p.checker(7.5, 7.5, 21.5, 21.5, 4)
        plus(p, 6, 6, 4)

    @pic("actDuplicateImage")
    def _(p):
        p.checker(2.5, 6.5, 14.5, 18.5, 3)
        p.checker(9.5, 9.5, 21.5, 21.5, 3)
        plus(p, 18, 5, 3.5)

    @pic("actDelImage")
    def _(p):
        p.checker(7.5, 7.5, 21.5, 21.5, 4)
        p.line([(2.5, 2.5), (10, 10)], RED, 2.6)
        p.line([(10, 2.5), (2.5, 10)], RED, 2.6)

    @pic("actImportImage")
    def _(p):
        page(p, 9, 2.5, 21.5, 21.5)
        p.line([(1.5, 12), (11, 12)], BLUE, 2.6)
        arrow_head(p, (15.5, 12), (10, 7), (10, 17), BLUE)

    @pic("actZoomOut")
    def _(p):
        magnifier(p, 10, 10, 7)
        p.line([(6.5, 10), (13.5, 10)], BLUE, 2)

    @pic("actZoomIn")
    def _(p):
        magnifier(p, 10, 10, 7)
        plus(p, 10, 10, 3.5, BLUE, 2)

    @pic("actGrid")
    def _(p):
        p.rect(3, 3, 21, 21, fill=PAPER, outline=INK, w=1)
        for v in (7.5, 12, 16.5):
            p.line([(v, 3), (v, 21)], INK, 0.9, round_ends=False)
            p.line([(3, v), (21, v)], INK, 0.9, round_ends=False)

    @pic("actSidebar")
    def _(p):
        p.rect(2.5, 3.5, 21.5, 20.5, fill=PAPER, outline=INK, w=1)
        p.rect(2.5, 3.5, 21.5, 6.5, fill=BLUE, outline=INK, w=1)
        p.rect(15, 6.5, 21.5, 20.5, fill=SHADE, outline=INK, w=1)
        for y in (9.5, 12.5, 15.5):
            p.line([(16.5, y), (20, y)], INK, 1, round_ends=False)

    return items, 24


# ---------------------------------------------------------------- tools (20)

def tools():
    items = {}

    def pic(name):
        def deco(f):
            items[name] = f
            return f
        return deco

    @pic("toolSelection")
    def _(p):
        dashed_rect(p, 2.5, 3.5, 17.5, 16.5, 2.5, 1.4)

    @pic("toolCrop")
    def _(p):
        p.line([(5, 1.5), (5, 15), (18.5, 15)], INK, 2.2, round_ends=False)
        p.line([(1.5, 5), (15, 5), (15, 18.5)], INK, 2.2, round_ends=False)
        p.rect(6.5, 6.5, 13.5, 13.5, fill=LIGHTBLUE, outline=None)

    @pic("toolText")
    def _(p):
        p.poly([(3, 3), (17, 3), (17, 7), (15.5, 7), (14.5, 5), (11.5, 5), (11.5, 15.5), (13.5, 16), (13.5, 17.5),
                (6.5, 17.5), (6.5, 16), (8.5, 15.5), (8.5, 5), (5.5, 5), (4.5, 7), (3, 7)], fill=INK, outline=None)

    @pic("toolErase")
    def _(p):
        p.poly([(2, 12.5), (10, 4.5), (18, 12.5 - 4 + 4), (10, 20.5 - 4)], fill=PINK, outline=INK, w=1)
        p.poly([(2, 12.5), (6, 8.5), (14, 16.5 - 0), (10, 16.5)], fill=PAPER, outline=INK, w=1)
        p.line([(8, 18.5), (18, 18.5)], GREY, 1, round_ends=False)

    @pic("toolFill")
    def _(p):
        p.poly([(3, 9), (10, 2), (17, 9), (10, 16)], fill=LIGHTBLUE, outline=INK, w=1.2)
        p.line([(10, 2), (6, -1 + 3)], INK, 1.2)
        p.poly([(3, 9), (17, 9), (10, 16)], fill=BLUE, outline=INK, w=1.2)
        p.ellipse(15.5, 12, 19, 17.5, fill=BLUE, outline=None)
        p.poly([(15.6, 14.2), (17.25, 10.5), (18.9, 14.2)], fill=BLUE, outline=None)

    @pic("toolSpray")
    def _(p):
        p.rrect(9, 7, 16, 18.5, 1.5, fill=RED, outline=INK, w=1)
        p.rect(10.5, 4, 14.5, 7, fill=GREY, outline=INK, w=0.8)
        p.rect(11.5, 2.5, 13.5, 4, fill=INK, outline=None)
        for (x, y) in ((6.5, 3), (4, 1.5), (3, 4.5), (5.5, 6), (2, 7.5), (1.5, 2.5), (4.5, 9)):
            p.ellipse(x - 0.7, y - 0.7, x + 0.7, y + 0.7, fill=INK, outline=None)

    @pic("toolBrush")
    def _(p):
        p.line([(18, 2), (9.5, 10.5)], BROWN, 2.8)
        p.poly([(8, 9), (11, 12), (9, 14), (6, 11)], fill=GREY, outline=INK, w=0.8)
        p.poly([(6, 11), (9, 14), (5, 18.5), (1.5, 18.5), (2, 15)], fill=BLUE, outline=INK, w=1)

    @pic("toolPencil")
    def _(p):
        p.poly([(5, 15), (15, 5), (18, 8), (8, 18)], fill=YELLOW, outline=INK, w=1)
        p.poly([(15, 5), (16.5, 3.5), (19.5, 6.5), (18, 8)], fill=PINK, outline=INK, w=1)
        p.poly([(5, 15), (8, 18), (2, 20 - 1.5 + 1.5 - 2 + 2)], fill=(240, 210, 170, 255), outline=INK, w=1)
        p.poly([(2.2, 19.8), (3.2, 17.5), (4.5, 18.8)], fill=INK, outline=None)

    @pic("toolLine")
    def _(p):
        p.line([(3.5, 16.5), (16.5, 3.5)], INK, 2)
        for x, y in ((3.5, 16.5), (16.5, 3.5)):
            p.rect(x - 1.8, y - 1.8, x + 1.8, y + 1.8, fill=PAPER, outline=BLUE, w=1)

    @pic("toolRect")
    def _(p):
        p.rect(2.5, 4.5, 17.5, 15.5, fill=LIGHTBLUE, outline=INK, w=1.6)

    @pic("toolRoundRect")
    def _(p):
        p.rrect(2.5, 4.5, 17.5, 15.5, 4, fill=LIGHTBLUE, outline=INK, w=1.6)

    @pic("toolEllipse")
    def _(p):
        p.ellipse(2, 4, 18, 16, fill=LIGHTBLUE, outline=INK, w=1.6)

    @pic("toolPick")
    def _(p):
        p.line([(4, 16), (11.5, 8.5)], INK, 3.2)
        p.line([(4.2, 15.8), (11, 9)], PAPER, 1.4)
        p.line([(10, 7), (13, 10)], INK, 2.4)
        p.ellipse(12, 2.5, 17.5, 8, fill=INK, outline=None)
        p.line([(12.5, 9.5), (15, 7)], INK, 2.4)
        p.ellipse(1.8, 16.2, 3.8, 18.2, fill=BLUE, outline=None)

    @pic("toolZoom")
    def _(p):
        magnifier(p, 8, 8, 6)

    @pic("toolOpac")
    def _(p):
        p.checker(2.5, 2.5, 17.5, 17.5, 4)
        p.ellipse(5, 5, 15, 15, fill=(46, 104, 178, 130), outline=BLUE, w=1.2)

    @pic("toolGradient")
    def _(p):
        x0, x1 = 2.5, 17.5
        n = 30
        for i in range(n):
            t = i / (n - 1)
            c = tuple(int(BLUE[k] * (1 - t) + 255 * t) for k in range(3)) + (255,)
            p.rect(x0 + (x1 - x0) * i / n, 4.5, x0 + (x1 - x0) * (i + 1) / n, 15.5, fill=c, outline=None)
        p.rect(x0, 4.5, x1, 15.5, outline=INK, w=1)

    @pic("toolBrighten")
    def _(p):
        import math
        for k in range(8):
            a = k * math.pi / 4
            p.line([(10 + 6 * math.cos(a), 10 + 6 * math.sin(a)), (10 + 8.8 * math.cos(a), 10 + 8.8 * math.sin(a))],
                   ORANGE, 1.5)
        p.ellipse(5, 5, 15, 15, fill=YELLOW, outline=ORANGE, w=1)
        p.d.pieslice([5 * SS, 5 * SS, 15 * SS, 15 * SS], 90, 270, fill=(110, 90, 40, 255))

    @pic("toolBlur")
    def _(p):
        p.ellipse(4, 8, 16, 19.5, fill=(150, 190, 235, 110), outline=None)
        p.ellipse(5.5, 9.5, 14.5, 18.5, fill=LIGHTBLUE, outline=BLUE, w=1)
        p.poly([(6, 12), (10, 1.5), (14, 12)], fill=LIGHTBLUE, outline=None)
        p.line([(6.2, 12), (10, 1.8), (13.8, 12)], BLUE, 1, round_ends=False)
        p.ellipse(7.5, 12.5, 9.5, 15.5, fill=PAPER, outline=None)

    # The palette's image commands.
    @pic("cmdFlipVert")
    def _(p):
        p.poly([(4, 8), (16, 8), (10, 2)], fill=BLUE, outline=INK, w=1)
        p.poly([(4, 12), (16, 12), (10, 18)], fill=PAPER, outline=INK, w=1)
        p.line([(1.5, 10), (18.5, 10)], RED, 1.2)

    @pic("cmdFlipHoriz")
    def _(p):
        p.poly([(8, 4), (8, 16), (2, 10)], fill=BLUE, outline=INK, w=1)
        p.poly([(12, 4), (12, 16), (18, 10)], fill=PAPER, outline=INK, w=1)
        p.line([(10, 1.5), (10, 18.5)], RED, 1.2)

    def rotate(p, left):
        p.rect(6.5, 8.5, 13.5, 15.5, fill=LIGHTBLUE, outline=INK, w=1)
        if left:
            p.arc(3, 2.5, 17, 16.5, 200, 340, BLUE, 1.8)
            arrow_head(p, (2.8, 11.5), (0.8, 6.5), (6.3, 7.6), BLUE)
        else:
            p.arc(3, 2.5, 17, 16.5, 200, 340, BLUE, 1.8)
            arrow_head(p, (17.2, 11.5), (19.2, 6.5), (13.7, 7.6), BLUE)

    items["cmdRotateLeft"] = lambda p: rotate(p, True)
    items["cmdRotateRight"] = lambda p: rotate(p, False)
    return items, 20


def arrows():
    return {
        "cmdUp": lambda p: arrow_head(p, (4, 1), (0.5, 6.5), (7.5, 6.5)),
        "cmdDown": lambda p: arrow_head(p, (4, 7), (0.5, 1.5), (7.5, 1.5)),
        "cmdLeft": lambda p: arrow_head(p, (1, 4), (6.5, 0.5), (6.5, 7.5)),
        "cmdRight": lambda p: arrow_head(p, (7, 4), (1.5, 0.5), (1.5, 7.5)),
    }, 8


def main():
    os.makedirs(OUT, exist_ok=True)
    only = set(sys.argv[1:])
    names = []
    for items, size in (tool_bar(), tools(), arrows()):
        for name, draw in items.items():
            names.append(name)
            if only and name not in only:
                continue
            p = Pic(size)
            draw(p)
            p.save(name)
    # The resource file lists every picture at both scales.
    with open(os.path.join(OUT, "art.qrc"), "w") as f:
        f.write("<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/art\">\n")
        for name in sorted(names):
            f.write(f"  <file>{name}.png</file>\n  <file>{name}@2x.png</file>\n")
        f.write("</qresource>\n</RCC>\n")


if __name__ == "__main__":
    main()
