#!/usr/bin/env python3
"""The editor's pictures as SVG.

Every picture of the editor is drawn here: the pictograms once, on a 48 x 48
grid, and one template per family (toolbar button, page button, view tab,
LOAD... button, page icon, connection picture, information sign, application
icon, background) that places a pictogram and a caption. Running

    pictures.py OUTDIR

writes OUTDIR/<name>.svg for each of the 72 pictures and OUTDIR/pictures.txt,
one line per picture: file name, width, height, PNG type (rgb or rgba), the
colour to flatten an rgb picture onto, and the scales to render it at ("1,2":
also twice the size, for zoomed windows; the application icons, which the
desktop shows at sizes of its own, "1"). generate.sh renders them.

Only the standard library is used; the output depends on nothing but this file.
"""

import math
import os
import sys

# ---------------------------------------------------------------------------
# Palette. One blue for the whole product; the light blue is the sliders'
# thumb colour of the editor (0xFF7BB9F8).
BLUE = "#2684E8"
LIGHT_BLUE = "#7BB9F8"
ORANGE = "#F28C28"
WHITE = "#FFFFFF"
BLACK = "#000000"

TOOLBAR_BG = BLACK          # the top bar of the background
TOOLBAR_BG_HOT = "#2B2B2B"  # dark grey under the mouse and while on
TOOLBAR_GLYPH = "#A0A0A0"   # grey pictogram (the firmware label's grey)
TOOLBAR_TEXT = "#F0F0F0"    # white caption (the device label's white)

COLUMN_BG = "#F0F0F0"       # very light grey page-button column
COLUMN_EDGE = "#DCDCDC"     # its right edge and the lines between page buttons
PAGE_BG_HOT = "#DFDFDF"     # grey under the mouse and while on
PAGE_TEXT = "#3A3A3A"       # dark grey page names and pictograms

PAGE_BG = WHITE             # the pages themselves
RULE = "#D0D0D0"            # the thin rule under the page title
TAB_EDGE = "#C4C4C4"
TAB_BG_HOT = "#E6E6E6"
TAB_TEXT = "#2D2D2D"        # the labels' text colour 0xFF2D2D2D

BUTTON_BG = "#F1F1F1"       # the sliders' background and outline colours
BUTTON_EDGE = "#CCCCCC"

FONT = "Liberation Sans"

# The rule under the title area: y 163, x 231 .. 1009 (the section headers'
# width). The view tabs stand on it: they are placed at y 135, 29 high.
RULE_Y = 163
RULE_X0, RULE_X1 = 231, 1010

# ---------------------------------------------------------------------------
# Pictograms: line drawings on a 48 x 48 grid, stroked with currentColor, with
# round caps and joins. Filled parts use fill="currentColor". The template
# decides colour, scale and stroke width (in output pixels).


def _f(v):
    """A coordinate with at most two decimals, without trailing zeros."""
    s = f"{v:.2f}".rstrip("0").rstrip(".")
    return "0" if s == "-0" else s


def _arrow_head(tip, direction, length, spread_deg=42):
    """Open arrow head (two strokes) at tip, pointing along direction."""
    dx, dy = direction
    n = math.hypot(dx, dy)
    dx, dy = dx / n, dy / n
    pts = []
    for sign in (1, -1):
        a = math.radians(180 + sign * spread_deg)
        rx = dx * math.cos(a) - dy * math.sin(a)
        ry = dx * math.sin(a) + dy * math.cos(a)
        pts.append((tip[0] + rx * length, tip[1] + ry * length))
    return (f'<path d="M{_f(pts[0][0])} {_f(pts[0][1])} L{_f(tip[0])} {_f(tip[1])} '
            f'L{_f(pts[1][0])} {_f(pts[1][1])}"/>')


def _toothed_outline(cx, cy, teeth, r_out, r_in, tooth_frac):
    """Closed outline of a wheel with trapezoid teeth."""
    pts = []
    step = 2 * math.pi / teeth
    for k in range(teeth):
        a = k * step - math.pi / 2
        top = step * tooth_frac / 2          # half width of a tooth's top
        base = top + step * 0.12             # half width at its foot
        for ang, r in ((a - base, r_in), (a - top, r_out), (a + top, r_out), (a + base, r_in)):
            pts.append((cx + r * math.cos(ang), cy + r * math.sin(ang)))
    d = "M" + " L".join(f"{_f(x)} {_f(y)}" for x, y in pts) + " Z"
    return f'<path d="{d}"/>'


def glyph_folder():
    return ('<path d="M6 14 a3 3 0 0 1 3 -3 h9 l4 4 h17 a3 3 0 0 1 3 3 v18 '
            'a3 3 0 0 1 -3 3 h-30 a3 3 0 0 1 -3 -3 z"/>'
            '<path d="M6 21 h36"/>')


def glyph_floppy():
    return ('<path d="M11 8 h22 l7 7 v22 a3 3 0 0 1 -3 3 h-26 a3 3 0 0 1 -3 -3 v-26 '
            'a3 3 0 0 1 3 -3 z"/>'
            '<path d="M16 8 v8 h14 v-8"/>'
            '<path d="M25 11 v2"/>'
            '<path d="M15 40 v-12 h18 v12"/>')


def glyph_up_down():
    return ('<path d="M17 40 V9"/>' + _arrow_head((17, 8.5), (0, -1), 9) +
            '<path d="M31 8 V39"/>' + _arrow_head((31, 39.5), (0, 1), 9))


def glyph_discs():
    return ('<ellipse cx="24" cy="12" rx="15" ry="5"/>'
            '<path d="M9 12 V36 a15 5 0 0 0 30 0 V12"/>'
            '<path d="M9 20 a15 5 0 0 0 30 0"/>'
            '<path d="M9 28 a15 5 0 0 0 30 0"/>')


def glyph_arrow_back():
    # Three quarters and more of a circle, travelled anticlockwise, with the
    # head at the top left: "back to the start".
    cx, cy, r = 24, 25, 14
    end_deg = 125                       # mathematical angle, y up
    start = (cx - r, cy)                # 180 degrees
    e = math.radians(end_deg)
    end = (cx + r * math.cos(e), cy - r * math.sin(e))
    tangent = (-math.sin(e), -math.cos(e))   # anticlockwise on screen
    return (f'<path d="M{_f(start[0])} {_f(start[1])} A{r} {r} 0 1 0 {_f(end[0])} {_f(end[1])}"/>'
            + _arrow_head((end[0] + tangent[0] * 1.5, end[1] + tangent[1] * 1.5), tangent, 9))


def glyph_tonewheel():
    # A wheel with sixteen fine teeth on its axle, the pickup beside it and
    # the tone it gives.
    cx, cy = 15, 24
    pts = []
    for k in range(193):
        a = 2 * math.pi * k / 192
        r = 12 + 1.0 * math.cos(16 * a)
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    wheel = "M" + " L".join(f"{_f(x)} {_f(y)}" for x, y in pts) + " Z"
    wave = "M" + " L".join(
        f"{_f(35 + 10 * k / 24)} {_f(24 - 5 * math.sin(2 * math.pi * k / 24))}" for k in range(25))
    return (f'<path d="{wheel}"/>'
            f'<circle cx="{cx}" cy="{cy}" r="3.5"/>'
            '<path d="M30.5 17 V31"/>'
            f'<path d="{wave}"/>')


def glyph_gear():
    return (_toothed_outline(24, 24, 8, 17, 12.5, 0.34) +
            '<circle cx="24" cy="24" r="5.5"/>')


def glyph_sliders():
    out = []
    for x, knob in ((12, 28), (24, 13), (36, 21)):
        out.append(f'<path d="M{x} 6 V42"/>')
        out.append(f'<rect x="{x - 5}" y="{knob - 3.5}" width="10" height="7" rx="2" '
                   f'fill="currentColor"/>')
    return "".join(out)


def glyph_sine():
    pts = []
    for k in range(49):
        t = k / 48
        x = 5 + 38 * t
        y = 24 - 14 * math.sin(2 * math.pi * t)
        pts.append((x, y))
    d = "M" + " L".join(f"{_f(x)} {_f(y)}" for x, y in pts)
    return ('<path d="M4 24 H44" opacity="0.4"/>'
            f'<path d="{d}"/>')


def glyph_saturation():
    pts = []
    for k in range(41):
        t = -1 + 2 * k / 40
        x = 24 + 18 * t
        y = 24 - 15 * math.tanh(2.6 * t) / math.tanh(2.6)
        pts.append((x, y))
    d = "M" + " L".join(f"{_f(x)} {_f(y)}" for x, y in pts)
    return ('<path d="M24 5 V43 M5 24 H43" opacity="0.4"/>'
            f'<path d="{d}"/>')


def glyph_horn():
    # A horn on its rotor: the bell to the right, the counterweight to the
    # left, the stand below, and the arrow of its turning round the stand.
    return ('<path d="M26 14 H32 L43 7 V26 L32 19 H26"/>'
            '<rect x="6" y="14" width="11" height="5" rx="1.5" fill="currentColor"/>'
            '<circle cx="21.5" cy="16.5" r="4.5"/>'
            '<path d="M21.5 21 V42 M15 42 H28"/>'
            '<path d="M8.5 32 A14.5 5 0 0 0 33 35.5"/>'
            + _arrow_head((35.2, 34), (0.8, -0.6), 6.5))


def glyph_cube():
    return ('<path d="M24 6 L40 15 V33 L24 42 L8 33 V15 Z"/>'
            '<path d="M8 15 L24 24 L40 15 M24 24 V42"/>')


def glyph_tools():
    # A spanner and a screwdriver, crossed.
    spanner = ('<g transform="rotate(45 24 24)">'
               '<path d="M21.6 5 V10.5 H26.4 V5 A8 8 0 1 1 21.6 5 Z"/>'
               '<path d="M21.6 19.5 V40 A2.4 2.4 0 0 0 26.4 40 V19.5"/>'
               '</g>')
    driver = ('<g transform="rotate(-45 24 24)">'
              '<rect x="20" y="28" width="8" height="15" rx="2.5" fill="currentColor"/>'
              '<path d="M24 28 V9 M22.6 6 H25.4"/>'
              '</g>')
    return spanner + driver


GLYPHS = {
    "folder": glyph_folder,
    "floppy": glyph_floppy,
    "updown": glyph_up_down,
    "discs": glyph_discs,
    "back": glyph_arrow_back,
    "tonewheel": glyph_tonewheel,
    "gear": glyph_gear,
    "sliders": glyph_sliders,
    "sine": glyph_sine,
    "saturation": glyph_saturation,
    "horn": glyph_horn,
    "cube": glyph_cube,
    "tools": glyph_tools,
}


def place_glyph(name, x, y, size, colour, stroke_px):
    """The pictogram `name` scaled to size x size pixels at (x, y)."""
    scale = size / 48.0
    return (f'<g transform="translate({_f(x)} {_f(y)}) scale({_f(scale)})" color="{colour}" '
            f'fill="none" stroke="currentColor" stroke-width="{_f(stroke_px / scale)}" '
            f'stroke-linecap="round" stroke-linejoin="round">{GLYPHS[name]()}</g>')


# ---------------------------------------------------------------------------
# The emblem: five drawbars pulled out to different lengths, on a blue tile.

# Where each bar's handle ends, below the panel edge, on a 64 grid.
DRAWBAR_STOPS = (44, 36, 50, 30, 40)


def emblem(size):
    """The emblem on its blue tile, size x size pixels, at the origin."""
    if size <= 16:
        # Drawn on the pixel grid, four bars two pixels wide, so that
        # nothing is blurred at 16 pixels.
        out = [f'<rect x="0" y="0" width="16" height="16" rx="3" fill="{BLUE}"/>',
               '<rect x="2" y="2" width="12" height="1" fill="#000000" fill-opacity="0.3"/>']
        for k, stop in enumerate((10, 8, 12, 7)):
            x = 3 + 3 * k
            out.append(f'<rect x="{x}" y="3" width="2" height="{stop - 3}" '
                       f'fill="#FFFFFF" fill-opacity="0.45"/>')
            out.append(f'<rect x="{x}" y="{stop}" width="2" height="2" fill="#FFFFFF"/>')
        return "".join(out)
    s = size / 64.0
    out = [f'<g transform="scale({_f(s)})">',
           f'<rect x="0" y="0" width="64" height="64" rx="13" fill="{BLUE}"/>',
           '<rect x="7" y="9" width="50" height="5" rx="2.5" fill="#000000" fill-opacity="0.28"/>']
    for k, stop in enumerate(DRAWBAR_STOPS):
        cx = 14 + 9 * k
        out.append(f'<rect x="{cx - 2.5}" y="12" width="5" height="{stop - 12}" '
                   f'fill="#FFFFFF" fill-opacity="0.5"/>')
        if size >= 128:
            # the scale marks on the bar, where there are pixels enough
            for y in range(18, stop - 3, 4):
                out.append(f'<rect x="{cx - 2.5}" y="{y}" width="5" height="0.6" fill="{BLUE}" '
                           f'fill-opacity="0.6"/>')
        out.append(f'<rect x="{cx - 3.75}" y="{stop - 1}" width="7.5" height="11" rx="2.5" '
                   f'fill="#FFFFFF"/>')
    out.append('</g>')
    return "".join(out)


# ---------------------------------------------------------------------------
# Templates. Each returns the picture's SVG text and the colour that an RGB
# picture is flattened onto (None for the RGBA ones).


def svg(width, height, body):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
            f'viewBox="0 0 {width} {height}">\n{body}\n</svg>\n')


def text(x, y, s, size, colour, weight="normal", anchor="middle", spacing=0):
    ls = f' letter-spacing="{_f(spacing)}"' if spacing else ""
    s = s.replace("&", "&amp;").replace("<", "&lt;")
    return (f'<text x="{_f(x)}" y="{_f(y)}" font-family="{FONT}" font-size="{_f(size)}" '
            f'font-weight="{weight}" fill="{colour}" text-anchor="{anchor}"{ls}>{s}</text>')


def rect(x, y, w, h, fill, extra=""):
    return f'<rect x="{_f(x)}" y="{_f(y)}" width="{_f(w)}" height="{_f(h)}" fill="{fill}"{extra}/>'


# Toolbar pictures are 104 x 78: a 36-pixel pictogram above a caption in white
# capitals. off: grey on black; ovr: grey on dark grey; on: blue on dark grey,
# with a blue edge along the bottom.
TOOLBAR_W, TOOLBAR_H = 104, 78


def toolbar(glyph, caption, state):
    bg = TOOLBAR_BG if state == "off" else TOOLBAR_BG_HOT
    colour = BLUE if state == "on" else TOOLBAR_GLYPH
    body = [rect(0, 0, TOOLBAR_W, TOOLBAR_H, bg),
            place_glyph(glyph, 34, 11, 36, colour, 2.6),
            text(52 + 0.5, 63, caption, 11, TOOLBAR_TEXT, "bold", spacing=1)]
    if state == "on":
        body.append(rect(0, TOOLBAR_H - 3, TOOLBAR_W, 3, BLUE))
    return svg(TOOLBAR_W, TOOLBAR_H, "\n".join(body)), bg


# Page buttons are 201 x 40, stacked from y 78 in the 200-pixel column: a
# 24-pixel pictogram at the left and the page name. Column 200 is the
# column's edge line, row 39 the line between two buttons.
PAGE_W, PAGE_H = 201, 40


def page_button(glyph, name, state):
    bg = COLUMN_BG if state == "off" else PAGE_BG_HOT
    colour = BLUE if state == "on" else PAGE_TEXT
    body = [rect(0, 0, PAGE_W, PAGE_H, bg),
            rect(0, PAGE_H - 1, PAGE_W - 1, 1, COLUMN_EDGE),
            rect(PAGE_W - 1, 0, 1, PAGE_H, COLUMN_EDGE),
            place_glyph(glyph, 16, 8, 24, colour, 2.0),
            text(52, 25.5, name, 15, colour, anchor="start")]
    if state == "on":
        body.append(rect(0, 0, 4, PAGE_H - 1, BLUE))
    return svg(PAGE_W, PAGE_H, "\n".join(body)), bg


# View tabs are 85 x 29 at y 135: a slanted tab standing on the rule at
# y 163, which is their bottom row.
TAB_W, TAB_H = 85, 29


def view_tab(caption, state):
    fill = WHITE if state == "off" else TAB_BG_HOT
    colour = BLUE if state == "on" else TAB_TEXT
    bottom = TAB_H - 1
    outline = (f'M0.5 {bottom} L7.2 2.6 Q7.8 0.5 10 0.5 H75 Q77.2 0.5 77.8 2.6 '
               f'L84.5 {bottom}')
    body = [rect(0, 0, TAB_W, TAB_H, PAGE_BG),
            f'<path d="{outline} Z" fill="{fill}"/>',
            f'<path d="{outline}" fill="none" stroke="{TAB_EDGE}" stroke-width="1"/>',
            text(42.5 + 0.3, 19, caption, 12, colour, "bold", spacing=0.6)]
    if state == "on":
        body.append(rect(0, bottom - 2, TAB_W, 3, BLUE))
    else:
        body.append(rect(0, bottom, TAB_W, 1, RULE))
    return svg(TAB_W, TAB_H, "\n".join(body)), PAGE_BG


# The LOAD... push button, 89 x 24, beside the Tonewheel Model selector: the
# sliders' colours, a grey ground under the mouse, blue when pressed.
LOAD_W, LOAD_H = 89, 24


def load_button(state):
    fill = BUTTON_BG if state == "off" else TAB_BG_HOT
    edge = BLUE if state == "on" else ("#B4B4B4" if state == "ovr" else BUTTON_EDGE)
    colour = BLUE if state == "on" else TAB_TEXT
    body = [rect(0, 0, LOAD_W, LOAD_H, PAGE_BG),
            f'<rect x="0.5" y="0.5" width="{LOAD_W - 1}" height="{LOAD_H - 1}" rx="3" '
            f'fill="{fill}" stroke="{edge}" stroke-width="1"/>',
            text(44.5 + 0.4, 16.5, "LOAD...", 12, colour, "bold", spacing=0.8)]
    return svg(LOAD_W, LOAD_H, "\n".join(body)), PAGE_BG


# Page icons are 88 x 70 at (220, 88), left of the page title: blue
# pictograms, 56 pixels, on transparent ground.
def page_icon(glyph):
    return svg(88, 70, place_glyph(glyph, 16, 7, 56, BLUE, 3.6)), None


# The connection picture, 35 x 18, on the top bar: a chain, two links seen
# from the side and one edge-on between them.
def connection(colour):
    body = (f'<g fill="none" stroke="{colour}" stroke-width="2.6">'
            '<path d="M14.5 4.3 H7 A4.7 4.7 0 0 0 7 13.7 H14.5"/>'
            '<path d="M20.5 4.3 H28 A4.7 4.7 0 0 1 28 13.7 H20.5"/>'
            '<rect x="10.5" y="6.8" width="14" height="4.4" rx="2.2"/>'
            '</g>')
    return svg(35, 18, body), None


# The information sign, 12 x 12: a round sign with a white i, on white.
def info(colour):
    body = (rect(0, 0, 12, 12, WHITE) +
            f'<circle cx="6" cy="6" r="6" fill="{colour}"/>' +
            rect(5, 2, 2, 2, WHITE) + rect(5, 5, 2, 5, WHITE))
    return svg(12, 12, body), WHITE


def app_icon(size):
    return svg(size, size, emblem(size)), None


# The background, 1024 x 748 (the window shows the top 685 rows): the black
# top bar (78 high) with the logo at its left end, closed by a thin line at
# x 240; the toolbar buttons cover x 242 .. 865, the status area (connection
# picture and two labels) x 872 .. 1011 and stays plain black. Below the bar
# the page-button column (x 0 .. 199) and its edge, white pages, and the rule
# under the title area.
BG_W, BG_H, BAR_H = 1024, 748, 78


def background():
    body = [rect(0, 0, BG_W, BG_H, PAGE_BG),
            rect(0, 0, BG_W, BAR_H, BLACK),
            rect(0, BAR_H, 200, BG_H - BAR_H, COLUMN_BG),
            rect(200, BAR_H, 1, BG_H - BAR_H, COLUMN_EDGE),
            rect(RULE_X0, RULE_Y, RULE_X1 - RULE_X0, 1, RULE),
            # logo: the emblem and the wordmark
            f'<g transform="translate(18 18)">{emblem(42)}</g>',
            text(72, 44, "KESTRA", 27, WHITE, "bold", anchor="start", spacing=3.2),
            text(73, 60, "ORGAN EDITOR", 9.5, LIGHT_BLUE, "bold", anchor="start", spacing=3.1),
            rect(240, 14, 1, 50, "#3C3C3C")]
    return svg(BG_W, BG_H, "\n".join(body)), PAGE_BG


# ---------------------------------------------------------------------------
# The 72 pictures, by file name.

TOOLBAR = (("open", "folder", "OPEN"), ("save", "floppy", "SAVE"),
           ("connect", "updown", "CONNECT"), ("store", "discs", "STORE"),
           ("reset", "back", "RESET"), ("tonewheel", "tonewheel", "TONEWHEEL"),
           ("settings", "gear", "SETTINGS"))
PAGES = (("tone-gen", "sliders", "Tone Generator"), ("vib-cho", "sine", "Vibrato and Chorus"),
         ("overdrive", "saturation", "Overdrive"), ("rotary", "horn", "Rotary"),
         ("reverb", "cube", "Reverb"), ("add-func", "tools", "Additional Functions"))
TABS = (("main", "MAIN"), ("drawbar", "DRAWBAR"), ("classic", "CLASSIC"),
        ("rock", "ROCK"), ("common", "COMMON"))
STATES = ("off", "on", "ovr")


def pictures():
    """(file name, width, height, type, (svg text, flatten colour))."""
    out = []
    for stem, glyph, caption in TOOLBAR:
        for st in STATES:
            out.append((f"{stem}_{st}.png", TOOLBAR_W, TOOLBAR_H, "rgb", toolbar(glyph, caption, st)))
    for stem, glyph, name in PAGES:
        for st in STATES:
            out.append((f"{stem}_{st}.png", PAGE_W, PAGE_H, "rgb", page_button(glyph, name, st)))
        out.append((f"{stem}_icon.png", 88, 70, "rgba", page_icon(glyph)))
    for stem, caption in TABS:
        for st in STATES:
            out.append((f"{stem}_{st}.png", TAB_W, TAB_H, "rgb", view_tab(caption, st)))
    for st in STATES:
        out.append((f"load_{st}.png", LOAD_W, LOAD_H, "rgb", load_button(st)))
    out.append(("connected_off.png", 35, 18, "rgba", connection("#8C8C8C")))
    out.append(("connected_on.png", 35, 18, "rgba", connection(ORANGE)))
    for st, colour in (("off", "#9A9A9A"), ("on", BLUE), ("ovr", LIGHT_BLUE)):
        out.append((f"info_{st}.png", 12, 12, "rgb", info(colour)))
    for size in (16, 48, 256):
        out.append((f"icon_{size}x{size}.png", size, size, "rgba", app_icon(size)))
    out.append(("bg.png", BG_W, BG_H, "rgb", background()))
    return out


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: pictures.py OUTDIR\n")
        return 2
    outdir = argv[1]
    os.makedirs(outdir, exist_ok=True)
    lines = []
    for name, w, h, kind, (text_, flatten) in pictures():
        stem = name[:-4]
        with open(os.path.join(outdir, stem + ".svg"), "w", encoding="utf-8") as f:
            f.write(text_)
        scales = "1" if name.startswith("icon_") else "1,2"
        lines.append(f"{name} {w} {h} {kind} {flatten or 'none'} {scales}")
    with open(os.path.join(outdir, "pictures.txt"), "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
