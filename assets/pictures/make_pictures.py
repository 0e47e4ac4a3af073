#!/usr/bin/python3
"""Draws the program's pictures: the LCD mirror's picture annunciators and
the window's link marks, blinker, meter drawing and toolbar icons.

    /usr/bin/python3 assets/pictures/make_pictures.py

needs python3-pil and fonts-dejavu-core; writes NAME.png beside itself (the
PNGs are committed).  Every picture is drawn eight times over size and
scaled down, which gives clean anti-aliased edges.  The annunciators are
black on transparent, like the printed parts of the meter's glass, and are
made at twice their display size because the mirror stretches them.
"""
import math
import os

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf"
SS = 8  # supersampling factor

INK = (0, 0, 0, 255)
GREEN = (34, 177, 76, 255)
GREEN_LIGHT = (150, 235, 160, 255)
RED = (210, 40, 40, 255)
GREY = (128, 128, 128, 255)
GREY_LIGHT = (200, 200, 200, 255)
GREY_DARK = (70, 70, 70, 255)
STEEL = (185, 190, 198, 255)
BLUE = (40, 90, 170, 255)
YELLOW = (240, 196, 60, 255)
YELLOW_DARK = (190, 140, 30, 255)
WHITE = (255, 255, 255, 255)
CREAM = (236, 238, 206, 255)


class Canvas:
    """A picture of w x h pixels; every coordinate is in output pixels."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.img = Image.new("RGBA", (w * SS, h * SS), (0, 0, 0, 0))
        self.draw = ImageDraw.Draw(self.img)

    def _box(self, x0, y0, x1, y1):
        return [x0 * SS, y0 * SS, x1 * SS, y1 * SS]

    def _pts(self, pts):
        return [(x * SS, y * SS) for x, y in pts]

    def rect(self, x0, y0, x1, y1, fill=None, outline=None, width=0, radius=0):
        self.draw.rounded_rectangle(self._box(x0, y0, x1, y1), radius=radius * SS,
                                    fill=fill, outline=outline,
                                    width=int(round(width * SS)))

    def ellipse(self, x0, y0, x1, y1, fill=None, outline=None, width=0):
        self.draw.ellipse(self._box(x0, y0, x1, y1), fill=fill, outline=outline,
                          width=int(round(width * SS)))

    def circle(self, cx, cy, r, **kw):
        self.ellipse(cx - r, cy - r, cx + r, cy + r, **kw)

    def arc(self, cx, cy, r, start, end, fill, width):
        self.draw.arc(self._box(cx - r, cy - r, cx + r, cy + r), start, end,
                      fill=fill, width=int(round(width * SS)))

    def poly(self, pts, fill=None, outline=None):
        self.draw.polygon(self._pts(pts), fill=fill, outline=outline)

    def line(self, pts, fill, width, round_ends=True):
        pts = self._pts(pts)
        w = int(round(width * SS))
        self.draw.line(pts, fill=fill, width=w, joint="curve")
        if round_ends:
            for x, y in (pts[0], pts[-1]):
                self.draw.ellipse([x - w / 2, y - w / 2, x + w / 2, y + w / 2], fill=fill)

    def text(self, cx, cy, s, height, fill=INK, max_width=None):
        """Text whose ink is centred on (cx, cy), capitals `height` px tall,
        squeezed sideways when it would be wider than max_width."""
        size = int(round(height * SS / 0.729))  # DejaVu's capitals are 0.729 em
        font = ImageFont.truetype(FONT, size)
        x0, y0, x1, y1 = self.draw.textbbox((0, 0), s, font=font)
        layer = Image.new("RGBA", (x1 - x0, y1 - y0), (0, 0, 0, 0))
        ImageDraw.Draw(layer).text((-x0, -y0), s, font=font, fill=fill)
        if max_width and layer.width > max_width * SS:
            layer = layer.resize((int(max_width * SS), layer.height), Image.LANCZOS)
        over = Image.new("RGBA", self.img.size, (0, 0, 0, 0))
        over.paste(layer, (int(cx * SS - layer.width / 2), int(cy * SS - layer.height / 2)))
        self.img.alpha_composite(over)

    def save(self, name, scale=1):
        out = self.img.resize((self.w * scale, self.h * scale), Image.LANCZOS)
        path = os.path.join(HERE, name + ".png")
        out.save(path, optimize=True)
        print("wrote", path, out.size)


# --- picture annunciators (display size, drawn at 2x) ----------------------

def annunciator(name, w, h, paint):
    c = Canvas(w, h)
    paint(c)
    c.save(name, scale=2)


def words(text, height_ratio=0.72):
    def paint(c):
        c.text(c.w / 2, c.h / 2, text, c.h * height_ratio, max_width=c.w - 2)
    return paint


def v23(c):
    # the two-thirds mark: a stacked fraction beside a volt sign
    # (kept clear of the right edge: MAX starts just inside the picture)
    c.text(10, 5.6, "2", 7.5)
    c.line([(4.5, 10.5), (15.5, 10.5)], INK, 1.6)
    c.text(10, 15.6, "3", 7.5)
    c.text(31, 10.5, "VOLT", 8.5, max_width=22)


def read(c):
    c.rect(1.5, 1.5, c.w - 1.5, c.h - 1.5, outline=INK, width=2, radius=3)
    c.text(c.w / 2, c.h / 2, "READ", 11, max_width=c.w - 10)


def rec(c):
    c.circle(7, c.h / 2, 5, fill=INK)
    c.text(21.5, c.h / 2, "REC", 10, max_width=19)


def power(c):
    # a battery with one charge bar left: the low-battery warning
    c.rect(2, 8, 27, 22, outline=INK, width=2.2, radius=1.5)
    c.rect(27, 12, 30.5, 18, fill=INK, radius=0.8)
    c.rect(5.5, 11.5, 11, 18.5, fill=INK)


def frame(c):
    # four corner marks of a square frame
    a, b, L = 2.5, c.w - 2.5, 7
    for (x, y, dx, dy) in ((a, a, 1, 1), (b, a, -1, 1), (a, b, 1, -1), (b, b, -1, -1)):
        c.line([(x + dx * L, y), (x, y), (x, y + dy * L)], INK, 2.2)


def thermometer_probe(c):
    # thermometer on the left: tube, bulb, mercury and scale marks
    c.rect(3.5, 2, 9.5, 25, outline=INK, width=1.6, radius=3)
    c.circle(6.5, 26.5, 4.6, fill=INK)
    c.rect(5.3, 12, 7.7, 25, fill=INK)
    for y in (6, 10, 14, 18):
        c.line([(10.5, y), (12.5, y)], INK, 1.2)
    # probe on the right: handle, collar and a long thin rod
    c.rect(16, 2, 22, 12, fill=INK, radius=1.5)
    c.rect(17.5, 12, 20.5, 14.5, fill=INK)
    c.line([(19, 14), (19, 31)], INK, 1.6)


def power_off(c):
    # the power symbol with a small clock: the meter switches itself off
    cx, cy, r = 13, 14, 10
    c.arc(cx, cy, r, -50, 230, INK, 2.8)
    c.line([(cx, 2), (cx, 12)], INK, 2.8)
    kx, ky, kr = 25, 26, 6.5
    c.circle(kx, ky, kr + 1.2, fill=(0, 0, 0, 0))
    c.circle(kx, ky, kr, outline=INK, width=1.6)
    c.line([(kx, ky - 4), (kx, ky), (kx + 3, ky + 1.5)], INK, 1.4)


ANNUNCIATORS = [
    ("V23", 49, 21, v23),
    ("READ", 49, 21, read),
    ("rec", 33, 18, rec),
    ("power", 32, 29, power),
    ("frame", 25, 25, frame),
    ("t_p", 25, 33, thermometer_probe),
    ("RH", 57, 15, words("%RH", 0.8)),
    ("time_l", 49, 18, words("TIME")),
    ("p_off", 33, 34, power_off),
    ("ms", 49, 18, words("m/s")),
    ("ftmin", 73, 18, words("ft/min")),
    ("kmh", 49, 18, words("km/h")),
]


# --- window pictures (display size) ----------------------------------------

def plug(c, x, y, body, pins):
    """A cable plug pointing right with its face at x."""
    c.rect(x - 30, y - 14, x, y + 14, fill=body, radius=5)
    c.rect(x - 36, y - 6, x - 29, y + 6, fill=body, radius=2)
    for dy in (-7, 7):
        c.rect(x - 1, y + dy - 2.5, x + 14, y + dy + 2.5, fill=pins, radius=1)


def socket(c, x, y, body):
    """A wall socket facing left with its face at x."""
    c.rect(x, y - 20, x + 26, y + 20, fill=body, radius=6)
    for dy in (-7, 7):
        c.rect(x + 3, y + dy - 3, x + 14, y + dy + 3, fill=GREY_DARK, radius=1)


def con_ok(c):
    c.line([(2, 58), (16, 58), (26, 48)], GREY_DARK, 5)
    plug(c, 62, 48, GREY_DARK, STEEL)
    socket(c, 75, 48, GREY)
    c.line([(101, 48), (118, 48)], GREY, 5)
    # signal arcs, green: data is arriving
    for r in (8, 15, 22):
        c.arc(68, 27, r, 215, 325, GREEN, 3.5)
    c.circle(68, 27, 3, fill=GREEN)
    c.circle(108, 80, 7, fill=GREEN)
    c.circle(106, 78, 2.5, fill=GREEN_LIGHT)


def con_ok_none(c):
    c.line([(2, 58), (12, 58), (22, 48)], GREY, 5)
    plug(c, 50, 48, GREY, GREY_LIGHT)
    socket(c, 80, 48, GREY_LIGHT)
    c.line([(106, 48), (118, 48)], GREY_LIGHT, 5)
    # a red cross in the gap: no data
    c.line([(61, 16), (73, 28)], RED, 4)
    c.line([(73, 16), (61, 28)], RED, 4)
    c.circle(108, 80, 7, fill=GREY_LIGHT, outline=GREY, width=1.5)


def led(lit):
    def paint(c):
        cx, cy, r = c.w / 2, c.h / 2, 9.5
        if lit:
            c.circle(cx, cy, r + 1.5, fill=(20, 110, 45, 255))
            c.circle(cx, cy, r, fill=GREEN)
            c.circle(cx - 3, cy - 3, 3.2, fill=GREEN_LIGHT)
        else:
            c.circle(cx, cy, r + 1.5, fill=GREY)
            c.circle(cx, cy, r, fill=(225, 228, 225, 255))
    return paint


def meter(c):
    """A hand-held vane anemometer: fan head on a neck, body with LCD and keys."""
    body_dark = (52, 58, 66, 255)
    body = (82, 92, 104, 255)
    # vane head
    hx, hy, hr = 165, 82, 74
    c.circle(hx, hy, hr, fill=body_dark)
    c.circle(hx, hy, hr - 9, fill=(215, 220, 226, 255))
    for k in range(6):
        a = math.radians(k * 60 + 15)
        b = math.radians(k * 60 + 45)
        r0, r1 = 12, hr - 14
        c.poly([(hx + r0 * math.cos(a), hy + r0 * math.sin(a)),
                (hx + r1 * math.cos(a), hy + r1 * math.sin(a)),
                (hx + r1 * math.cos(b), hy + r1 * math.sin(b)),
                (hx + r0 * math.cos(b), hy + r0 * math.sin(b))], fill=(150, 160, 172, 255))
    c.circle(hx, hy, 14, fill=body_dark)
    c.circle(hx, hy, 5, fill=STEEL)
    # neck and body
    c.rect(150, 150, 180, 172, fill=body_dark)
    c.rect(95, 166, 235, 298, fill=body, radius=22)
    c.rect(105, 174, 225, 290, outline=body_dark, width=2, radius=16)
    # LCD window with a reading
    c.rect(112, 180, 218, 232, fill=(40, 44, 50, 255), radius=5)
    c.rect(116, 184, 214, 228, fill=CREAM, radius=3)
    seven_segment_text(c, 122, 191, "3000", 15, 28)
    c.text(207, 222, "m/s", 4.5, fill=INK)
    # keys
    for i, col in enumerate(((220, 70, 60, 255), (230, 230, 230, 255),
                             (230, 230, 230, 255))):
        c.rect(122 + i * 32, 246, 146 + i * 32, 262, fill=col, radius=5)
    c.rect(122, 270, 208, 280, fill=body_dark, radius=4)


SEGMENTS = {"0": "abcdef", "3": "abcdg"}


def seven_segment_text(c, x, y, text, w, h):
    """Digits drawn as segments for the meter picture's display."""
    t = 3.2
    for i, ch in enumerate(text):
        x0 = x + i * (w + 6)
        lit = SEGMENTS[ch]
        seg = {
            "a": (x0 + t, y, x0 + w - t, y + t),
            "g": (x0 + t, y + h / 2 - t / 2, x0 + w - t, y + h / 2 + t / 2),
            "d": (x0 + t, y + h - t, x0 + w - t, y + h),
            "f": (x0, y + t, x0 + t, y + h / 2 - t / 2),
            "b": (x0 + w - t, y + t, x0 + w, y + h / 2 - t / 2),
            "e": (x0, y + h / 2 + t / 2, x0 + t, y + h - t),
            "c": (x0 + w - t, y + h / 2 + t / 2, x0 + w, y + h - t),
        }
        for s in lit:
            c.rect(*seg[s], fill=INK, radius=1)


def arrows(outward):
    def paint(c):
        # a window frame with arrows to its corners (enlarge) or from them
        c.rect(2, 2, 22, 22, outline=GREY_DARK, width=1.6, radius=2)
        m = 12
        for sx, sy in ((-1, -1), (1, -1), (-1, 1), (1, 1)):
            tip = (m + sx * 7.5, m + sy * 7.5) if outward else (m + sx * 2, m + sy * 2)
            tail = (m + sx * 2.5, m + sy * 2.5) if outward else (m + sx * 7.5, m + sy * 7.5)
            c.line([tail, tip], BLUE, 1.8)
            hx, hy = tip
            dx, dy = (-sx, -sy) if outward else (sx, sy)
            c.poly([(hx, hy), (hx + dx * 4.5, hy), (hx, hy + dy * 4.5)], fill=BLUE)
    return paint


def close_data(c):
    # a page with a folded corner and a red cross
    c.poly([(4, 1.5), (14, 1.5), (18.5, 6), (18.5, 20.5), (4, 20.5)], fill=WHITE)
    c.line([(4, 1.5), (14, 1.5), (18.5, 6), (18.5, 20.5), (4, 20.5), (4, 1.5)],
           GREY_DARK, 1.2)
    c.line([(14, 1.5), (14, 6), (18.5, 6)], GREY_DARK, 1.2)
    for y in (8, 11, 14):
        c.line([(6.5, y), (12, y)], GREY_LIGHT, 1)
    c.line([(9, 12), (17, 20)], RED, 2.6)
    c.line([(17, 12), (9, 20)], RED, 2.6)


def open_folder(c):
    c.poly([(1.5, 5), (8, 5), (10, 7), (18, 7), (18, 18.5), (1.5, 18.5)], fill=YELLOW_DARK)
    c.rect(4, 3.5, 17, 12, fill=WHITE, outline=GREY, width=0.8)
    c.poly([(4.5, 10), (21, 10), (18, 18.5), (1.5, 18.5)], fill=YELLOW)


def floppy(c):
    c.poly([(2, 2), (17, 2), (20, 5), (20, 20), (2, 20)], fill=BLUE)
    c.rect(6, 2, 15, 8.5, fill=STEEL)
    c.rect(12, 3, 14, 7.5, fill=BLUE)
    c.rect(5, 12, 17, 20, fill=WHITE, radius=1)
    for y in (14.5, 17):
        c.line([(7, y), (15, y)], GREY_LIGHT, 1)


def printer(c):
    c.rect(6, 2, 16, 9, fill=WHITE, outline=GREY_DARK, width=1)
    c.rect(2, 8, 20, 16, fill=GREY, radius=2)
    c.circle(17, 11, 1, fill=GREEN)
    c.rect(5.5, 13, 16.5, 20.5, fill=WHITE, outline=GREY_DARK, width=1)
    for y in (15.5, 18):
        c.line([(7.5, y), (14.5, y)], GREY, 0.9)


def picture_save(c):
    # a small landscape picture with a down arrow into it
    c.rect(1.5, 6, 17, 20.5, fill=WHITE, outline=GREY_DARK, width=1.2)
    c.poly([(3, 19), (8, 12), (11, 16), (13, 13.5), (15.5, 19)], fill=GREEN)
    c.circle(13, 9.5, 1.6, fill=YELLOW)
    c.line([(18, 1.5), (18, 10)], BLUE, 2.4)
    c.poly([(14, 9), (22, 9), (18, 14)], fill=BLUE)


def nav(kind):
    def paint(c):
        m = 11
        if kind in ("first", "previous"):
            c.poly([(15.5, 4), (15.5, 18), (6.5, m)], fill=GREY_DARK)
            if kind == "first":
                c.rect(3.5, 4, 6, 18, fill=GREY_DARK)
        else:
            c.poly([(6.5, 4), (6.5, 18), (15.5, m)], fill=GREY_DARK)
            if kind == "last":
                c.rect(16, 4, 18.5, 18, fill=GREY_DARK)
    return paint


def usb_plug(c):
    # the USB trident
    col = GREY_DARK
    c.line([(11, 19), (11, 4)], col, 1.8)
    c.poly([(11, 1), (8, 5), (14, 5)], fill=col)
    c.line([(11, 15), (5.5, 11), (5.5, 8.5)], col, 1.6)
    c.circle(5.5, 7.5, 2, fill=col)
    c.line([(11, 13), (16.5, 9.5), (16.5, 7.5)], col, 1.6)
    c.rect(15, 5, 18, 8, fill=col)
    c.circle(11, 19, 2.4, fill=col)


def serial_plug(c):
    # a nine-pin serial connector face
    c.poly([(1.5, 6), (20.5, 6), (17.5, 16), (4.5, 16)], fill=STEEL)
    c.poly([(3, 7.2), (19, 7.2), (16.6, 14.8), (5.4, 14.8)], fill=GREY_DARK)
    for i in range(5):
        c.circle(5.8 + i * 2.6, 9.6, 0.9, fill=YELLOW)
    for i in range(4):
        c.circle(7.1 + i * 2.6, 12.5, 0.9, fill=YELLOW)
    c.line([(11, 16), (11, 21)], GREY_DARK, 2)


PICTURES = [
    ("CONok", 120, 90, con_ok),
    ("CONokN", 120, 90, con_ok_none),
    ("Image1", 25, 24, led(True)),
    ("Image2", 25, 24, led(False)),
    ("KD1", 330, 300, meter),
    ("TbFd", 24, 24, arrows(True)),
    ("TbSx", 24, 24, arrows(False)),
    ("RecordNew", 22, 22, close_data),
    ("OpenDataFiles", 22, 22, open_folder),
    ("saveas", 22, 22, floppy),
    ("BtPrint", 22, 22, printer),
    ("BtSave", 22, 22, picture_save),
    ("BtFirst", 22, 22, nav("first")),
    ("BTPrevious", 22, 22, nav("previous")),
    ("BtNext", 22, 22, nav("next")),
    ("BTlast", 22, 22, nav("last")),
    ("USBCon", 22, 22, usb_plug),
    ("COMCon", 22, 22, serial_plug),
]


def main():
    for name, w, h, paint in ANNUNCIATORS:
        annunciator(name, w, h, paint)
    for name, w, h, paint in PICTURES:
        c = Canvas(w, h)
        paint(c)
        c.save(name)


if __name__ == "__main__":
    main()
