#!/usr/bin/env python3
"""Draws the window-look bitmaps of Vexol as pixel art and writes them as 8-bit BMP
resources into src/res/bitmaps (a shared colour table for all of them):

  157.bmp, 157.ja.bmp  "Cancel" / Japanese label, 280 x 20, four 70 x 20 cells
  158.bmp              "OK", the same layout
                       (cells: normal, pressed, focused, disabled)
  261.bmp, 258.bmp     caption tab active (yellow) / inactive (grey), 85 x 18
  259.bmp, 260.bmp     the same tabs at 64 x 15 for tool-window captions
  271.bmp              caption icon, 16 x 16, RGB(255, 0, 255) is transparent
  227.bmp, 225.bmp     minimise, close: 48 x 13, cells normal, pressed, disabled
  270.bmp              maximise and restore: 96 x 13, six cells
  224.bmp              context help: 48 x 15, three cells

The caption icon is the 16-pixel application icon (dist/icons/16x16/vexol.png, made by
scripts/render-icons.sh) with its transparent pixels keyed to magenta.

Run by hand after changing a drawing, then commit the BMPs:

  python3 tools/artwork/make-artwork.py            # writes src/res/bitmaps/*.bmp
  python3 tools/artwork/make-artwork.py --preview DIR
                                                   # also writes enlarged PNG views and
                                                   # mock-ups of captions and dialogs

Only the Python standard library is needed.
"""

import argparse
import os
import struct
import sys
import zlib

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))

# --- Colours -------------------------------------------------------------------------
# One colour table for every bitmap. The first six are the frame's system colours
# (button face, highlight, 3-D light, shadow, dark shadow) and black.
PALETTE = [
    ("key", (255, 0, 255)),       # transparent in the caption icon
    ("black", (0, 0, 0)),
    ("white", (255, 255, 255)),   # button highlight
    ("light", (231, 228, 221)),   # 3-D light
    ("face", (212, 208, 200)),    # button face
    ("shadow", (128, 128, 128)),  # button shadow
    ("dark", (64, 64, 64)),       # 3-D dark shadow
    ("focus", (255, 243, 184)),   # face of a focused push button
    # active caption tab
    ("y_line", (138, 104, 0)),
    ("y_hi", (255, 250, 214)),
    ("y_1", (255, 236, 122)),
    ("y_2", (255, 224, 74)),
    ("y_3", (246, 206, 40)),
    ("y_4", (222, 178, 18)),
    # inactive caption tab
    ("g_line", (118, 116, 112)),
    ("g_hi", (246, 245, 242)),
    ("g_1", (226, 224, 219)),
    ("g_2", (214, 212, 206)),
    ("g_3", (202, 199, 192)),
    ("g_4", (180, 177, 170)),
    # lavender rail, active and inactive
    ("l_line", (112, 98, 176)),
    ("l_hi", (240, 237, 252)),
    ("l_1", (216, 209, 246)),
    ("l_2", (192, 182, 236)),
    ("m_line", (142, 136, 170)),
    ("m_hi", (244, 243, 249)),
    ("m_1", (226, 223, 238)),
    ("m_2", (208, 204, 224)),
]
COLOUR_INDEX = {name: i for i, (name, _) in enumerate(PALETTE)}
RGB_OF = dict(PALETTE)


class Canvas:
    """A picture of palette colour names, origin at the top-left."""

    def __init__(self, width, height, fill="face"):
        self.width = width
        self.height = height
        self.rows = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.rows[y][x] = colour

    def get(self, x, y):
        return self.rows[y][x]

    def fill(self, left, top, right, bottom, colour):
        """Fills [left, right) x [top, bottom)."""
        for y in range(top, bottom):
            for x in range(left, right):
                self.put(x, y, colour)

    def blit(self, other, x0, y0, colour=None, skip=None):
        """Copies `other` to (x0, y0); `colour` recolours every pixel, `skip` is left out."""
        for y in range(other.height):
            for x in range(other.width):
                c = other.rows[y][x]
                if c == skip:
                    continue
                self.put(x0 + x, y0 + y, colour or c)


def concat(cells):
    strip = Canvas(sum(c.width for c in cells), cells[0].height)
    x = 0
    for cell in cells:
        strip.blit(cell, x, 0)
        x += cell.width
    return strip


# --- Glyphs ----------------------------------------------------------------------------
# Hand-set letters for the button labels: '#' is ink. Capitals and ascenders are 8 rows
# high; the rows below are the baseline at the bottom.
GLYPHS = {
    "O": ["..###..",
          ".#...#.",
          "#.....#",
          "#.....#",
          "#.....#",
          "#.....#",
          ".#...#.",
          "..###.."],
    "K": ["#....#",
          "#...#.",
          "#..#..",
          "###...",
          "#..#..",
          "#...#.",
          "#....#",
          "#....#"],
    "C": [".####.",
          "#....#",
          "#.....",
          "#.....",
          "#.....",
          "#.....",
          "#....#",
          ".####."],
    "a": ["......",
          "......",
          ".###.",
          "....#",
          ".####",
          "#...#",
          "#...#",
          ".####"],
    "n": [".....",
          ".....",
          "#.##.",
          "##..#",
          "#...#",
          "#...#",
          "#...#",
          "#...#"],
    "c": [".....",
          ".....",
          ".###.",
          "#...#",
          "#....",
          "#....",
          "#...#",
          ".###."],
    "e": [".....",
          ".....",
          ".###.",
          "#...#",
          "#####",
          "#....",
          "#...#",
          ".###."],
    "l": ["#", "#", "#", "#", "#", "#", "#", "#"],
    # half-width katakana
    "ｷ": ["..#...",
          "..#...",
          "#####.",
          "..#...",
          "######",
          "...#..",
          "...#..",
          "...#.."],
    "ｬ": [".....",
          ".....",
          ".....",
          ".#...",
          "#####",
          ".#.#.",
          "..#..",
          "..#.."],
    "ﾝ": ["#.....",
          ".#...#",
          ".....#",
          "....#.",
          "....#.",
          "...#..",
          ".##...",
          "#....."],
    "ｾ": [".#....",
          ".#....",
          "######",
          ".#..#.",
          ".#.#..",
          ".#....",
          ".#....",
          "..###."],
    "ﾙ": ["..#.#.",
          "..#.#.",
          "..#.#.",
          "..#.#.",
          "..#.#.",
          ".#..#.#",
          ".#..##.",
          "#...#.."],
}


def text_canvas(text, spacing=1):
    """The label as a canvas of 'ink' and None, tight around the letters."""
    glyphs = [GLYPHS[ch] for ch in text]
    height = max(len(g) for g in glyphs)
    widths = [max(len(row) for row in g) for g in glyphs]
    width = sum(widths) + spacing * (len(glyphs) - 1)
    canvas = Canvas(width, height, None)
    x = 0
    for g, w in zip(glyphs, widths):
        top = height - len(g)
        for y, row in enumerate(g):
            for i, ch in enumerate(row):
                if ch == "#":
                    canvas.put(x + i, top + y, "ink")
        x += w + spacing
    return canvas


# --- Bevels ----------------------------------------------------------------------------
def edge(canvas, left, top, right, bottom, top_left, bottom_right):
    """A one-pixel frame: top and left in one colour, bottom and right in another."""
    canvas.fill(left, top, right - 1, top + 1, top_left)
    canvas.fill(left, top, left + 1, bottom - 1, top_left)
    canvas.fill(left, bottom - 1, right, bottom, bottom_right)
    canvas.fill(right - 1, top, right, bottom, bottom_right)


def raised(canvas, left, top, right, bottom):
    edge(canvas, left, top, right, bottom, "white", "dark")
    edge(canvas, left + 1, top + 1, right - 1, bottom - 1, "light", "shadow")


def sunken(canvas, left, top, right, bottom):
    edge(canvas, left, top, right, bottom, "dark", "white")
    edge(canvas, left + 1, top + 1, right - 1, bottom - 1, "shadow", "light")


def dotted_frame(canvas, left, top, right, bottom, colour):
    """A focus rectangle: every second pixel along [left, right) x [top, bottom)."""
    for x in range(left, right):
        if (x - left) % 2 == 0:
            canvas.put(x, top, colour)
        if (x - left + bottom - 1 - top) % 2 == 0:
            canvas.put(x, bottom - 1, colour)
    for y in range(top, bottom):
        if (y - top) % 2 == 0:
            canvas.put(left, y, colour)
        if (y - top + right - 1 - left) % 2 == 0:
            canvas.put(right - 1, y, colour)


def engraved(canvas, label, x, y):
    """A disabled label: highlight one pixel down and right, shadow on top."""
    for ly in range(label.height):
        for lx in range(label.width):
            if label.get(lx, ly) == "ink":
                canvas.put(x + lx + 1, y + ly + 1, "white")
    for ly in range(label.height):
        for lx in range(label.width):
            if label.get(lx, ly) == "ink":
                canvas.put(x + lx, y + ly, "shadow")


def ink(canvas, label, x, y, colour):
    for ly in range(label.height):
        for lx in range(label.width):
            if label.get(lx, ly) == "ink":
                canvas.put(x + lx, y + ly, colour)


# --- Push buttons (OK, Cancel) --------------------------------------------------------
BUTTON_W, BUTTON_H = 70, 20


def push_button(text):
    label = text_canvas(text)
    lx = (BUTTON_W - label.width) // 2
    ly = (BUTTON_H - label.height) // 2
    cells = []

    normal = Canvas(BUTTON_W, BUTTON_H)
    raised(normal, 0, 0, BUTTON_W, BUTTON_H)
    ink(normal, label, lx, ly, "black")
    cells.append(normal)

    pressed = Canvas(BUTTON_W, BUTTON_H)
    sunken(pressed, 0, 0, BUTTON_W, BUTTON_H)
    ink(pressed, label, lx + 1, ly + 1, "black")
    cells.append(pressed)

    focused = Canvas(BUTTON_W, BUTTON_H, "focus")
    edge(focused, 0, 0, BUTTON_W, BUTTON_H, "black", "black")
    raised(focused, 1, 1, BUTTON_W - 1, BUTTON_H - 1)
    dotted_frame(focused, 4, 4, BUTTON_W - 4, BUTTON_H - 4, "black")
    ink(focused, label, lx, ly, "black")
    cells.append(focused)

    disabled = Canvas(BUTTON_W, BUTTON_H)
    raised(disabled, 0, 0, BUTTON_W, BUTTON_H)
    engraved(disabled, label, lx, ly)
    cells.append(disabled)
    return concat(cells)


# --- Caption tabs --------------------------------------------------------------------
def tab(height, slant, active):
    """A caption tab: columns 0-2 left edge, 3 body, then `slant` columns where the
    tab's top edge runs down to the bottom, the rail column, the end column. The rail is
    a striped band behind the tab at the height of the caption buttons."""
    p = "y_" if active else "g_"
    r = "l_" if active else "m_"
    width = slant + 6
    c = Canvas(width, height)

    def body(y):
        # The tab's colour by row: outline, highlight, then lighter to darker bands.
        if y == 0:
            return p + "line"
        if y == 1:
            return p + "hi"
        band = (y - 2) * 4 // (height - 2)
        return p + str(band + 1)

    rail_top, rail_bottom = 2, height - 2  # the caption buttons' rows

    def rail(y):
        if y < rail_top or y >= rail_bottom:
            return "face"
        if y == rail_top or y == rail_bottom - 1:
            return r + "line"
        if y == rail_top + 1:
            return r + "hi"
        return r + ("1" if (y - rail_top) % 2 == 0 else "2")

    for y in range(height):
        # left edge: a rounded corner, outline and highlight
        c.put(0, y, "face" if y < 2 else p + "line")
        c.put(1, y, "face" if y == 0 else p + "line" if y == 1 else p + "hi")
        c.put(2, y, p + "line" if y == 0 else p + "hi" if y == 1 else body(y))
        c.put(3, y, body(y))
        c.put(width - 2, y, rail(y))
        c.put(width - 1, y, r + "line" if rail_top <= y < rail_bottom else "face")
    for i in range(slant):
        x = 4 + i
        top = i * height // slant  # the tab's top edge in this column
        for y in range(height):
            if y < top:
                c.put(x, y, rail(y))
            elif y == top:
                c.put(x, y, p + "line")
            elif y == top + 1:
                c.put(x, y, p + "hi")
            else:
                c.put(x, y, body(y))
    return c


# --- Caption buttons -------------------------------------------------------------------
CAPTION_GLYPHS = {
    "minimize": ["........",
                 "........",
                 "........",
                 "........",
                 "........",
                 "######..",
                 "######.."],
    "maximize": ["#########",
                 "#########",
                 "#.......#",
                 "#.......#",
                 "#.......#",
                 "#.......#",
                 "#.......#",
                 "#########"],
    "restore": ["..######",
                "..######",
                "..#....#",
                "######.#",
                "######.#",
                "#....###",
                "#....#..",
                "#....#..",
                "######.."],
    "close": ["##....##",
              ".##..##.",
              "..####..",
              "...##...",
              "..####..",
              ".##..##.",
              "##....##"],
    "help": ["..####..",
             ".##..##.",
             ".....##.",
             "....##..",
             "...##...",
             "...##...",
             "........",
             "...##...",
             "...##..."],
}


def glyph_canvas(rows):
    canvas = Canvas(max(len(r) for r in rows), len(rows), None)
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            if ch == "#":
                canvas.put(x, y, "ink")
    return canvas


def caption_button(name, width, height):
    """Three cells of one caption button: normal, pressed, disabled."""
    glyph = glyph_canvas(CAPTION_GLYPHS[name])
    gx = (width - glyph.width) // 2
    gy = (height - glyph.height) // 2
    if name == "minimize":
        gy = height - 3 - glyph.height
    normal = Canvas(width, height)
    raised(normal, 0, 0, width, height)
    ink(normal, glyph, gx, gy, "black")
    pressed = Canvas(width, height)
    sunken(pressed, 0, 0, width, height)
    ink(pressed, glyph, gx + 1, gy + 1, "black")
    disabled = Canvas(width, height)
    raised(disabled, 0, 0, width, height)
    engraved(disabled, glyph, gx, gy)
    return [normal, pressed, disabled]


# --- The caption icon ------------------------------------------------------------------
def read_png_rgba(path):
    """Reads an 8-bit RGBA, non-interlaced PNG into rows of (r, g, b, a)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour_type, _, _, interlace = header
    if depth != 8 or colour_type != 6 or interlace != 0:
        sys.exit(f"{path}: expected an 8-bit RGBA PNG without interlacing")
    raw = zlib.decompress(idat)
    stride = width * 4
    rows, previous, pos = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[pos], bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b = previous[i]
            c = previous[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
                pred = a if pa <= pb and pa <= pc else b if pb <= pc else c
                line[i] = (line[i] + pred) & 255
        rows.append([tuple(line[x * 4:x * 4 + 4]) for x in range(width)])
        previous = line
    return rows


def caption_icon():
    """The 16-pixel application icon; pixels at most half covered become the key."""
    pixels = read_png_rgba(os.path.join(ROOT, "dist", "icons", "16x16", "vexol.png"))
    canvas = Canvas(16, 16, "key")
    colours = {}
    for y, row in enumerate(pixels):
        for x, (r, g, b, a) in enumerate(row):
            if a <= 128:
                continue
            # Un-premultiply against nothing: an edge pixel keeps its own colour.
            name = f"icon_{r:02x}{g:02x}{b:02x}"
            colours[name] = (r, g, b)
            canvas.put(x, y, name)
    return canvas, colours


# --- Files -------------------------------------------------------------------------------
def bmp8(canvas, palette):
    """An 8-bit BMP file of the canvas with the given colour table."""
    index = {name: i for i, (name, _) in enumerate(palette)}
    stride = (canvas.width + 3) & ~3
    pixels = bytearray()
    for y in reversed(range(canvas.height)):
        row = bytes(index[canvas.get(x, y)] for x in range(canvas.width))
        pixels += row + bytes(stride - canvas.width)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for _, (r, g, b) in palette)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 8, 0, len(pixels),
                       2835, 2835, len(palette), 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + table + bytes(pixels)


def png_rgb(rows):
    """A PNG file of rows of (r, g, b)."""
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0,
                                                                0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def to_rgb(canvas, colours, scale=1):
    rows = []
    for y in range(canvas.height):
        row = []
        for x in range(canvas.width):
            row.extend([colours[canvas.get(x, y)]] * scale)
        rows.extend([row] * scale)
    return rows


# --- Previews: the pictures as the frame and the dialogs put them together --------------
def stretch_rect(source, src, dst_w, dst_h):
    """Nearest-pixel stretch of the rectangle src = (left, top, width, height)."""
    sl, st, sw, sh = src
    out = Canvas(dst_w, dst_h)
    for y in range(dst_h):
        sy = st + (2 * y + 1) * sh // (2 * dst_h)
        for x in range(dst_w):
            sx = sl + (2 * x + 1) * sw // (2 * dst_w)
            out.put(x, y, source.get(sx, sy))
    return out


def caption_mockup(width, tabs, strips, icon, active, buttons, maximised=False, tool=False,
                   popup=False, title=""):
    """A window top: the border and the caption as the frame painter lays them out."""
    frame, height = 4, 18 if not tool else 15
    bw = 18 if not tool else 12
    slant = 79 if not tool else 58
    total_h = frame + height + 1 + 12
    c = Canvas(width, total_h, "face")
    edge(c, 0, 0, width, total_h + 10, "white", "dark")
    edge(c, 1, 1, width - 1, total_h + 10, "light", "shadow")
    c.fill(frame, frame + height + 1, width - frame, total_h, "white")
    left, top, right = frame, frame, width - frame
    wc = right - left
    n = 1 + len([b for b in buttons if b != "close"])
    b_row = n * bw
    t = tabs[(active, tool)]
    fill = int((wc - b_row - slant - 4) / 2)
    if fill < 0:
        fill = 0
        rest = max(wc - slant - 4, b_row)
        slant_w = wc - rest - 4
    else:
        slant_w = slant
        rest = wc - fill - slant - 4
    x = left
    for (src, w) in (((0, 0, 3, height), 3), ((3, 0, 1, height), fill),
                     ((4, 0, slant, height), slant_w), ((4 + slant, 0, 1, height), rest),
                     ((5 + slant, 0, 1, height), 1)):
        if w > 0:
            c.blit(stretch_rect(t, src, w, height), x, top)
        x += w
    if not popup:
        c.blit(icon, left + 2 + int((bw - 15) / 2), top + 1, skip="key")
        left += bw
    r = right
    previous = None
    for name in ["close", "max", "min", "help"]:
        if name not in buttons:
            continue
        if previous is None:
            bl, br = r - bw, r - 2
        elif previous == "close":
            bl, br = r - 2 * bw, r - 2 - bw
        else:
            bl, br = pl - (bw - 2), pr - (bw - 2)
        cell = 3 if (name == "max" and maximised) else 0
        strip, cells = strips[name]
        cw = strip.width // cells
        ih = bw if not tool else 15
        c.blit(stretch_rect(strip, (cell * cw, 0, cw, strip.height), br - bl, ih - 4), bl,
               top + 2)
        pl, pr, previous = bl, br, name
    return c


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", default=os.path.join(ROOT, "src", "res", "bitmaps"))
    parser.add_argument("--preview", metavar="DIR", help="also write enlarged PNG views")
    args = parser.parse_args()

    icon, icon_colours = caption_icon()
    palette = PALETTE + sorted(icon_colours.items())
    if len(palette) > 256:
        sys.exit(f"{len(palette)} colours do not fit one 8-bit colour table")
    colours = dict(palette)

    pictures = {
        "158": push_button("OK"),
        "157": push_button("Cancel"),
        "157.ja": push_button("ｷｬﾝｾﾙ"),
        "261": tab(18, 79, True),
        "258": tab(18, 79, False),
        "259": tab(15, 58, True),
        "260": tab(15, 58, False),
        "271": icon,
        "227": concat(caption_button("minimize", 16, 13)),
        "225": concat(caption_button("close", 16, 13)),
        "270": concat(caption_button("maximize", 16, 13) + caption_button("restore", 16, 13)),
        "224": concat(caption_button("help", 16, 15)),
    }
    os.makedirs(args.out, exist_ok=True)
    for name, canvas in pictures.items():
        with open(os.path.join(args.out, name + ".bmp"), "wb") as f:
            f.write(bmp8(canvas, palette))
    print(f"Wrote {len(pictures)} bitmaps to {args.out}")

    if args.preview:
        os.makedirs(args.preview, exist_ok=True)
        for name, canvas in pictures.items():
            with open(os.path.join(args.preview, name + ".png"), "wb") as f:
                f.write(png_rgb(to_rgb(canvas, colours, 8)))
        tabs = {(True, False): pictures["261"], (False, False): pictures["258"],
                (True, True): pictures["259"], (False, True): pictures["260"]}
        strips = {"min": (pictures["227"], 3), "max": (pictures["270"], 6),
                  "close": (pictures["225"], 3), "help": (pictures["224"], 3)}
        mockups = {
            "main-active": caption_mockup(640, tabs, strips, icon, True,
                                          ["close", "max", "min"]),
            "main-inactive-max": caption_mockup(640, tabs, strips, icon, False,
                                                ["close", "max", "min"], maximised=True),
            "dialog": caption_mockup(360, tabs, strips, icon, True, ["close"], popup=True),
            "narrow": caption_mockup(130, tabs, strips, icon, True, ["close", "max", "min"]),
            "help": caption_mockup(300, tabs, strips, icon, True, ["close", "help"],
                                   popup=True),
            "tool": caption_mockup(300, tabs, strips, icon, True, ["close"], tool=True),
        }
        for name, canvas in mockups.items():
            for scale in (1, 2):
                with open(os.path.join(args.preview, f"mock-{name}-{scale}x.png"), "wb") as f:
                    f.write(png_rgb(to_rgb(canvas, colours, scale)))
        print(f"Wrote previews to {args.preview}")


if __name__ == "__main__":
    main()
