#!/usr/bin/python3
"""Builds the three fonts of the LCD mirror from Debian's free fonts.

    /usr/bin/python3 assets/fonts/make_fonts.py

needs python3-fontforge, fonts-dseg and fonts-dejavu-core.  It writes
KORA-A3.ttf, KORA-A2.ttf and Corvel7SegFont.ttf beside itself; they are
committed, so the program's build never needs FontForge.

KORA-A3        the meter's digits: DSEG7 Classic segments redrawn on a tall,
               narrow cell, plus condensed DejaVu letters for the words.
KORA-A2        plain DejaVu Sans Bold with the mirror's symbol codes.
Corvel7SegFont DSEG14 Classic letters for the second row's units.
README.md beside this file lists what each special code shows.
"""
import math
import os
import sys

# FontForge stamps the build time into the files; a fixed time keeps the
# committed fonts byte-identical from one run to the next.
os.environ.setdefault("SOURCE_DATE_EPOCH", "1704067200")

import fontforge  # noqa: E402
import psMat  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
DSEG = "/usr/share/fonts/truetype/dseg/"
DEJAVU = "/usr/share/fonts/truetype/dejavu/"

# Vertical metrics shared by all three fonts.  A label of the mirror is about
# 1.12 times its font height tall and draws from its top, and the decimal
# points sit at 0.89 of the font height below the digit label's top, so the
# baseline goes there.
ASCENT = 890
DESCENT = 230

# KORA-A3's digit cell.  A main-row digit label is 43 px wide for a 113 px
# font (35 px for 93 px in the second row), so the advance is 0.375 em and
# the digit nearly fills it.
DIGIT_ADVANCE = 375
DIGIT_LEFT = 12
DIGIT_WIDTH = 351
DIGIT_HEIGHT = 800
SEGMENT = 80      # segment thickness, about the size of the decimal-point shapes
SEGMENT_GAP = 7   # extra inset of each segment so neighbours stay apart

# Segments lit per character, segment names as on the meter: a top, b upper
# right, c lower right, d bottom, e lower left, f upper left, g middle.
SEVEN_SEGMENT = {
    "0": "abcdef", "1": "bc", "2": "abdeg", "3": "abcdg", "4": "bcfg",
    "5": "acdfg", "6": "acdefg", "7": "abc", "8": "abcdefg", "9": "abcdfg",
    "@": "def",   # the L of an over-load
    "b": "cdefg", "s": "acdfg", "u": "bcdef",  # Birch meters show these
}

# DejaVu's letters are condensed further so that every word annunciator fits
# its label (VEL, 32 px wide at 20 px, is the tightest).
LETTER_CONDENSE = 0.83

OFL_NOTICE = ("Copyright (c) 2017-2020 keshikan, with Reserved Font Name "
              "\"DSEG\". Bitstream Vera glyphs Copyright (c) 2003 Bitstream, "
              "Inc.; DejaVu changes are in the public domain. Modified for the "
              "Corvel interface program.")
OFL_LICENCE = ("This Font Software is licensed under the SIL Open Font License, "
               "Version 1.1; the glyphs taken from DejaVu keep the Bitstream "
               "Vera licence notice (see OFL.txt and LICENSE-DejaVu.txt).")
VERA_NOTICE = ("Copyright (c) 2003 by Bitstream, Inc. All Rights Reserved. "
               "Bitstream Vera is a trademark of Bitstream, Inc. DejaVu changes "
               "are in the public domain. Modified for the Corvel interface "
               "program.")
VERA_LICENCE = "Bitstream Vera Fonts licence, see LICENSE-DejaVu.txt."

PRINTABLE = [chr(c) for c in range(0x21, 0x7F)]


# --- outline helpers -------------------------------------------------------

# Everything is kept in TrueType's quadratic outlines, the form of the
# source fonts, so layers and contours can be mixed freely.
def new_layer():
    layer = fontforge.layer()
    layer.is_quadratic = True
    return layer


def polygon(points):
    c = fontforge.contour()
    c.is_quadratic = True
    c.moveTo(*points[0])
    for p in points[1:]:
        c.lineTo(*p)
    c.closed = True
    return c


def rectangle(x0, y0, x1, y1):
    return polygon([(x0, y0), (x0, y1), (x1, y1), (x1, y0)])


def ring(cx, cy, outer, inner):
    """A round ring: outer circle and a hole (opposite direction)."""
    layer = new_layer()
    for r, reverse in ((outer, False), (inner, True)):
        c = fontforge.unitShape(0)
        c.is_quadratic = True
        c.transform(psMat.compose(psMat.scale(r), psMat.translate(cx, cy)))
        if reverse:
            c.reverseDirection()
        layer += c
    return layer


def box_ring(x0, y0, x1, y1, stroke):
    """A square ring, the way a segment display draws a degree sign."""
    layer = new_layer()
    layer += rectangle(x0, y0, x1, y1)
    inner = rectangle(x0 + stroke, y0 + stroke, x1 - stroke, y1 - stroke)
    inner.reverseDirection()
    layer += inner
    return layer


def inset(points, d):
    """Moves every edge of a closed polygon inward by d."""
    n = len(points)
    area = sum(points[i][0] * points[(i + 1) % n][1]
               - points[(i + 1) % n][0] * points[i][1] for i in range(n))
    side = 1.0 if area > 0 else -1.0
    lines = []
    for i in range(n):
        (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
        dx, dy = x1 - x0, y1 - y0
        length = math.hypot(dx, dy)
        nx, ny = -dy / length * side, dx / length * side
        lines.append(((x0 + nx * d, y0 + ny * d), (dx, dy)))
    out = []
    for i in range(n):
        (px, py), (rx, ry) = lines[i - 1]
        (qx, qy), (sx, sy) = lines[i]
        cross = rx * sy - ry * sx
        if abs(cross) < 1e-9:
            out.append((qx, qy))
            continue
        t = ((qx - px) * sy - (qy - py) * sx) / cross
        out.append((px + t * rx, py + t * ry))
    return out


def piecewise(src, dst):
    """Linear map through the knots src -> dst, extended past both ends."""
    def f(v):
        for i in range(len(src) - 1):
            if v <= src[i + 1] or i == len(src) - 2:
                return dst[i] + (v - src[i]) * (dst[i + 1] - dst[i]) / (src[i + 1] - src[i])
    return f


def has_char(font, ch):
    return any(g.unicode == ord(ch) for g in font.glyphs())


def source_glyph(font, ch):
    g = next(g for g in font.glyphs() if g.unicode == ord(ch))
    if g.references:
        g.unlinkRef()
    return g


def put(font, ch, layer, width):
    g = font.createChar(ord(ch), fontforge.nameFromUnicode(ord(ch)))
    g.clear()
    g.foreground = layer
    g.width = int(round(width))
    return g


def copy_scaled(src, ch, dst, sx, sy, dx=0.0, dy=0.0, as_char=None):
    sg = source_glyph(src, ch)
    layer = sg.foreground
    layer.transform(psMat.compose(psMat.scale(sx, sy), psMat.translate(dx, dy)))
    return put(dst, as_char or ch, layer, sg.width * sx)


def moved(src, ch, sx, sy, dx, dy):
    """The outline of a source glyph, scaled and moved, as a layer."""
    layer = source_glyph(src, ch).foreground
    layer.transform(psMat.compose(psMat.scale(sx, sy), psMat.translate(dx, dy)))
    return layer


def ink(layer):
    xs, ys = [], []
    for c in layer:
        for p in c:
            xs.append(p.x)
            ys.append(p.y)
    return min(xs), min(ys), max(xs), max(ys)


# --- seven segments --------------------------------------------------------

# Band edges of DSEG7 Classic's digit: the two vertical strokes in x, the
# three horizontal strokes in y.
DSEG7_X = (99, 223, 593, 717)
DSEG7_Y = (0, 124, 438, 562, 876, 1000)


def dseg7_segments():
    """The seven segment outlines of DSEG7 Classic Bold's "8", by name."""
    f = fontforge.open(DSEG + "DSEG7Classic-Bold.ttf")
    segments = {}
    for c in f["eight"].foreground:
        pts = [(p.x, p.y) for p in c if p.on_curve]
        cx = sum(x for x, _ in pts) / len(pts)
        cy = sum(y for _, y in pts) / len(pts)
        if cy > 800:
            name = "a"
        elif cy < 200:
            name = "d"
        elif 300 < cx < 500:
            name = "g"
        elif cx < 408:
            name = "f" if cy > 500 else "e"
        else:
            name = "b" if cy > 500 else "c"
        segments[name] = pts
    f.close()
    if sorted(segments) != list("abcdefg"):
        sys.exit("DSEG7 Classic's eight is not seven segments: %s" % sorted(segments))
    return segments


def seven_segment_layer(segments, lit, left, width, height, stroke):
    """Maps the DSEG7 segments onto a cell of the given size.

    The stroke bands keep their thickness and only the spans between them
    stretch, so a tall narrow digit keeps even strokes and 45 degree tips
    instead of the thin verticals a plain scale would give."""
    fx = piecewise(DSEG7_X, (left, left + stroke, left + width - stroke, left + width))
    mid = height / 2.0
    fy = piecewise(DSEG7_Y, (0, stroke, mid - stroke / 2.0, mid + stroke / 2.0,
                             height - stroke, height))
    layer = new_layer()
    for name in lit:
        pts = [(fx(x), fy(y)) for x, y in segments[name]]
        layer += polygon([(round(x, 1), round(y, 1)) for x, y in inset(pts, SEGMENT_GAP)])
    return layer


# --- fonts -----------------------------------------------------------------

def new_font(family, notice, licence):
    f = fontforge.font()
    f.encoding = "UnicodeBmp"
    f.em = 1000
    f.ascent = 800
    f.descent = 200
    f.familyname = family
    f.fontname = family + "-Bold"
    f.fullname = family + " Bold"
    # Drawn bold and marked bold: the mirror's bold labels then get these
    # outlines as they are instead of a synthetic emboldening.
    f.weight = "Bold"
    f.os2_weight = 700
    f.macstyle = 1
    f.os2_stylemap = 0x20
    f.version = "1.000"
    f.copyright = notice
    f.appendSFNTName("English (US)", "SubFamily", "Bold")
    f.appendSFNTName("English (US)", "License", licence)
    if licence == OFL_LICENCE:
        f.appendSFNTName("English (US)", "License URL", "https://openfontlicense.org")
    f.hhea_ascent_add = f.os2_typoascent_add = f.os2_winascent_add = False
    f.hhea_descent_add = f.os2_typodescent_add = f.os2_windescent_add = False
    f.hhea_ascent = f.os2_typoascent = f.os2_winascent = ASCENT
    f.hhea_descent = f.os2_typodescent = -DESCENT
    f.os2_windescent = DESCENT
    f.hhea_linegap = f.os2_typolinegap = 0
    f.os2_use_typo_metrics = True
    space = f.createChar(0x20, "space")
    space.width = DIGIT_ADVANCE
    return f


def finish(f, filename):
    for g in f.glyphs():
        if g.foreground.isEmpty():
            continue
        g.removeOverlap()
        g.correctDirection()
        g.round()
        g.simplify(0.5)
        g.round()
    path = os.path.join(HERE, filename)
    f.generate(path, flags=("opentype", "no-FFTM-table", "omit-instructions"))
    f.close()
    print("wrote", path)


def make_kora_a3(segments):
    dejavu = fontforge.open(DEJAVU + "DejaVuSansCondensed-Bold.ttf")
    f = new_font("KORA-A3", OFL_NOTICE, OFL_LICENCE)
    scale = 1000.0 / dejavu.em
    for ch in PRINTABLE:
        copy_scaled(dejavu, ch, f, scale * LETTER_CONDENSE, scale)
    for ch, lit in SEVEN_SEGMENT.items():
        put(f, ch, seven_segment_layer(segments, lit, DIGIT_LEFT, DIGIT_WIDTH,
                                       DIGIT_HEIGHT, SEGMENT), DIGIT_ADVANCE)
    # The seconds of the "h:mm:s" annunciator are printed text on the glass,
    # not a digit: a colon before "s" switches it to DejaVu's s, while an
    # "s" alone in a digit label stays seven-segment.
    plain_s = source_glyph(dejavu, "s")
    layer = plain_s.foreground
    layer.transform(psMat.scale(scale * LETTER_CONDENSE, scale))
    g = f.createChar(-1, "s.text")
    g.foreground = layer
    g.width = int(round(plain_s.width * scale * LETTER_CONDENSE))
    f.addLookup("plain s", "gsub_single", (), ())
    f.addLookupSubtable("plain s", "plain s table")
    f["s"].addPosSub("plain s table", "s.text")
    f.addLookup("s after colon", "gsub_contextchain", (),
                (("calt", (("DFLT", ("dflt",)), ("latn", ("dflt",)))),))
    f.addContextualSubtable("s after colon", "s after colon table", "coverage",
                            "[colon] | [s] @<plain s> |")

    # The minus of the second row stands alone in a label only 0.26 em wide,
    # so it is a short middle segment with an advance of that width.
    put(f, "-", seven_segment_layer(segments, "g", 20, 220, DIGIT_HEIGHT, SEGMENT), 260)
    # Square points as on the glass, sized to stay visible at 16 px.
    dot = 110
    point = new_layer()
    point += rectangle(60, 0, 60 + dot, dot)
    put(f, ".", point, 230)
    colon = new_layer()
    colon += rectangle(60, 0, 60 + dot, dot)
    colon += rectangle(60, 420, 60 + dot, 420 + dot)
    put(f, ":", colon, 230)
    dejavu.close()
    finish(f, "KORA-A3.ttf")


def make_kora_a2():
    bold = fontforge.open(DEJAVU + "DejaVuSans-Bold.ttf")
    narrow = fontforge.open(DEJAVU + "DejaVuSansCondensed-Bold.ttf")
    f = new_font("KORA-A2", VERA_NOTICE, VERA_LICENCE)
    scale = 1000.0 / bold.em
    for ch in PRINTABLE:
        copy_scaled(bold, ch, f, scale, scale)
    f[ord(" ")].width = round(source_glyph(bold, " ").width * scale)

    # "|" stands for the slash in unit texts such as "m|s".
    copy_scaled(bold, "/", f, scale, scale, as_char="|")

    # Degree units fill a label about 0.74 em wide: a round degree ring and a
    # narrowed bold letter.
    for code, letter in (("#", "C"), ("?", "F")):
        layer = ring(118, 620, 100, 52)
        layer += moved(narrow, letter, scale * 0.78, scale, 215, 0)
        put(f, code, layer, 740 if letter == "C" else 700)

    # The double quote is the HOLD mark: a bold H in a tall rounded frame,
    # for a label 0.54 em wide.
    frame = new_layer()
    outer = rectangle(40, -20, 500, 800)
    inner = rectangle(95, 35, 445, 745)
    inner.reverseDirection()
    frame += outer
    frame += inner
    h = moved(narrow, "H", 1, 1, 0, 0)
    x0, y0, x1, y1 = ink(h)
    h.transform(psMat.compose(
        psMat.translate(-(x0 + x1) / 2, -(y0 + y1) / 2),
        psMat.compose(psMat.scale(210 / (x1 - x0), 440 / (y1 - y0)),
                      psMat.translate(270, 390))))
    frame += h
    put(f, '"', frame, 540)
    bold.close()
    narrow.close()
    finish(f, "KORA-A2.ttf")


def make_corvel7seg():
    dseg = fontforge.open(DSEG + "DSEG14Classic-Bold.ttf")
    dejavu = fontforge.open(DEJAVU + "DejaVuSansCondensed-Bold.ttf")
    f = new_font("Corvel7SegFont", OFL_NOTICE, OFL_LICENCE)
    # DSEG14 letters are a full em tall; bring them to a tall cap height,
    # which the log grid's small rows need, and narrow them so two of them
    # still fit the WB mark's label.
    sy = 0.78
    sx = 0.64
    advance = 816 * sx
    dj = 1000.0 / dejavu.em
    for ch in PRINTABLE:
        if has_char(dseg, ch) and not source_glyph(dseg, ch).foreground.isEmpty():
            copy_scaled(dseg, ch, f, sx, sy)
        else:
            # DSEG14 has no such character: a plain letter beats a box.
            copy_scaled(dejavu, ch, f, dj, dj)
    f[ord(" ")].width = round(advance)
    # DSEG's point has no width of its own (it overlays the digit before it).
    put(f, ".", moved(dseg, ".", sx, sy, 100, 0), 200)
    put(f, "|", moved(dseg, "/", sx, sy, 0, 0), advance)

    # DSEG14's own percent is hard to read; this one is built like the
    # degree sign: two square rings and the slash.
    cap = 1000 * sy
    percent = box_ring(40, cap - 250, 200, cap, 50)
    percent += box_ring(330, 0, 490, 250, 50)
    slash_y = cap / 712.0  # DSEG14's slash spans 144 to 856
    percent += moved(dseg, "/", sx, slash_y, 20, -144 * slash_y)
    put(f, "%", percent, advance)

    # Degree units: a square segment ring and a fourteen-segment letter.
    for code, letter in (("#", "C"), ("$", "F")):
        layer = box_ring(40, cap - 220, 230, cap, 55)
        layer += moved(dseg, letter, sx, sy, 200, 0)
        put(f, code, layer, advance + 200)

    # "^" is the dew-point mark DP, ">" the wet-bulb mark WB: two letters
    # set close, so each fits its label at the size the layout gives it.
    for code, pair in (("^", "DP"), (">", "WB")):
        layer = new_layer()
        layer += moved(dseg, pair[0], sx, sy, 0, 0)
        layer += moved(dseg, pair[1], sx, sy, advance - 90, 0)
        put(f, code, layer, 2 * advance - 70)
    dseg.close()
    dejavu.close()
    finish(f, "Corvel7SegFont.ttf")


def main():
    make_kora_a3(dseg7_segments())
    make_kora_a2()
    make_corvel7seg()


if __name__ == "__main__":
    main()
