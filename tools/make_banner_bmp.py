#!/usr/bin/env python3
"""Generate res/banner.bmp, the strip shown along the bottom of the Morvane window.

Output: 468 x 60 Windows BMP, BITMAPFILEHEADER + BITMAPINFOHEADER,
BI_RGB (uncompressed) 16 bits per pixel, i.e. X1R5G5B5, bottom-up rows
padded to 4 bytes.

Contents: a deep blue to teal gradient (ordered-dithered so the 5-bit
channels do not band), the application icon on the left, the name in a
large pixel font with a tagline underneath, and a row of small checkboxes.
The pixel font is defined below; only the Python standard library is used.

Usage:  python3 tools/make_banner_bmp.py [output.bmp]
"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
DEFAULT_OUT = os.path.join(ROOT, "res", "banner.bmp")

sys.dont_write_bytecode = True  # keep tools/ free of __pycache__
sys.path.insert(0, HERE)
import make_icon  # noqa: E402  (shares the icon artwork)

WIDTH, HEIGHT = 468, 60

TITLE = "Morvane"
TAGLINE = "Fifty Windows settings, one click each"

GRAD_LEFT = (10, 34, 104)     # deep blue
GRAD_RIGHT = (12, 128, 136)   # teal


def c5(r, g, b):
    """Colour given in 5-bit channel values, scaled to 8 bits (exact in 555)."""
    return tuple(int(round(v * 255 / 31)) for v in (r, g, b))


TITLE_COLOUR = c5(31, 31, 31)
TITLE_SHADOW = c5(1, 5, 12)
TAG_COLOUR = c5(25, 30, 31)
TAG_SHADOW = c5(2, 7, 13)

# ---------------------------------------------------------------------------
# Pixel font: 9 rows per glyph (7 above the baseline, 2 for descenders).
# Glyphs are written as space separated rows; missing rows are blank.
# Widths vary per glyph, which keeps the narrow letters from looking gappy.
# ---------------------------------------------------------------------------

_FONT_SRC = {
    "A": ".###. #...# #...# ##### #...# #...# #...#",
    "B": "####. #...# #...# ####. #...# #...# ####.",
    "C": ".###. #...# #.... #.... #.... #...# .###.",
    "D": "####. #...# #...# #...# #...# #...# ####.",
    "E": "##### #.... #.... ####. #.... #.... #####",
    "F": "##### #.... #.... ####. #.... #.... #....",
    "G": ".###. #...# #.... #.### #...# #...# .####",
    "H": "#...# #...# #...# ##### #...# #...# #...#",
    "I": "### .#. .#. .#. .#. .#. ###",
    "J": "..### ...#. ...#. ...#. ...#. #..#. .##..",
    "K": "#...# #..#. #.#.. ##... #.#.. #..#. #...#",
    "L": "#.... #.... #.... #.... #.... #.... #####",
    "M": "#...# ##.## #.#.# #.#.# #...# #...# #...#",
    "N": "#...# #...# ##..# #.#.# #..## #...# #...#",
    "O": ".###. #...# #...# #...# #...# #...# .###.",
    "P": "####. #...# #...# ####. #.... #.... #....",
    "Q": ".###. #...# #...# #...# #.#.# #..#. .##.#",
    "R": "####. #...# #...# ####. #.#.. #..#. #...#",
    "S": ".#### #.... #.... .###. ....# ....# ####.",
    "T": "##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#..",
    "U": "#...# #...# #...# #...# #...# #...# .###.",
    "V": "#...# #...# #...# #...# #...# .#.#. ..#..",
    "W": "#...# #...# #...# #.#.# #.#.# #.#.# .#.#.",
    "X": "#...# #...# .#.#. ..#.. .#.#. #...# #...#",
    "Y": "#...# #...# .#.#. ..#.. ..#.. ..#.. ..#..",
    "Z": "##### ....# ...#. ..#.. .#... #.... #####",
    "a": "..... ..... .###. ....# .#### #...# .####",
    "b": "#.... #.... #.##. ##..# #...# #...# ####.",
    "c": "..... ..... .###. #.... #.... #...# .###.",
    "d": "....# ....# .##.# #..## #...# #...# .####",
    "e": "..... ..... .###. #...# ##### #.... .###.",
    "f": "..## .#.. ###. .#.. .#.. .#.. .#..",
    "g": "..... ..... .#### #...# #...# #...# .#### ....# .###.",
    "h": "#.... #.... #.##. ##..# #...# #...# #...#",
    "i": "# . # # # # #",
    "j": "..# ... .## ..# ..# ..# ..# ..# ##.",
    "k": "#... #... #..# #.#. ##.. #.#. #..#",
    "l": "# # # # # # #",
    "m": "..... ..... ##.#. #.#.# #.#.# #.#.# #.#.#",
    "n": "..... ..... #.##. ##..# #...# #...# #...#",
    "o": "..... ..... .###. #...# #...# #...# .###.",
    "p": "..... ..... ####. #...# #...# #...# ####. #.... #....",
    "q": "..... ..... .#### #...# #...# #...# .#### ....# ....#",
    "r": ".... .... #.## ##.. #... #... #...",
    "s": "..... ..... .#### #.... .###. ....# ####.",
    "t": ".#.. .#.. ###. .#.. .#.. .#.. ..##",
    "u": "..... ..... #...# #...# #...# #..## .##.#",
    "v": "..... ..... #...# #...# #...# .#.#. ..#..",
    "w": "..... ..... #...# #...# #.#.# #.#.# .#.#.",
    "x": "..... ..... #...# .#.#. ..#.. .#.#. #...#",
    "y": "..... ..... #...# #...# #...# #...# .#### ....# .###.",
    "z": "..... ..... ##### ...#. ..#.. .#... #####",
    "0": ".###. #...# #..## #.#.# ##..# #...# .###.",
    "1": "..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###.",
    "2": ".###. #...# ....# ...#. ..#.. .#... #####",
    "3": "####. ....# ....# .###. ....# ....# ####.",
    "4": "...#. ..##. .#.#. #..#. ##### ...#. ...#.",
    "5": "##### #.... ####. ....# ....# #...# .###.",
    "6": ".###. #.... #.... ####. #...# #...# .###.",
    "7": "##### ....# ...#. ..#.. .#... .#... .#...",
    "8": ".###. #...# #...# .###. #...# #...# .###.",
    "9": ".###. #...# #...# .#### ....# ....# .###.",
    " ": "... ... ... ... ... ... ...",
    ",": ".. .. .. .. .. .# .# #.",
    ".": ". . . . . . #",
    "-": "... ... ... ### ... ... ...",
    "!": "# # # # # . #",
    "'": "# # . . . . .",
}

GLYPH_ROWS = 9
BASELINE_ROWS = 7  # rows 0..6 sit on or above the baseline


def _parse_font(src):
    font = {}
    for ch, text in src.items():
        rows = text.split()
        width = len(rows[0])
        assert all(len(r) == width for r in rows), ch
        rows += ["." * width] * (GLYPH_ROWS - len(rows))
        font[ch] = rows
    return font


FONT = _parse_font(_FONT_SRC)


def draw_text(img, x0, y0, text, scale, colour, spacing=1, bold=0):
    """Draw text with its cap-height top at y0; returns the x after the text.

    bold widens every vertical stroke by that many pixels (and the letter
    spacing with it), which suits the large title.
    """
    x = x0
    for ch in text:
        rows = FONT[ch]
        w = len(rows[0])
        for gy, row in enumerate(rows):
            for gx, bit in enumerate(row):
                if bit == "#":
                    fill_rect(img, x + gx * scale, y0 + gy * scale, scale + bold, scale, colour)
        x += (w + spacing) * scale + bold
    return x - spacing * scale


# ---------------------------------------------------------------------------
# Raster helpers (img is a list of rows of float RGB lists, top row first)
# ---------------------------------------------------------------------------

def fill_rect(img, x, y, w, h, colour, alpha=1.0):
    for yy in range(max(0, y), min(HEIGHT, y + h)):
        row = img[yy]
        for xx in range(max(0, x), min(WIDTH, x + w)):
            px = row[xx]
            for i in range(3):
                px[i] += (colour[i] - px[i]) * alpha


def blend_rgba(img, x0, y0, rgba_rows):
    for dy, row in enumerate(rgba_rows):
        for dx, (r, g, b, a) in enumerate(row):
            if a:
                fill_rect(img, x0 + dx, y0 + dy, 1, 1, (r, g, b), a / 255.0)


def draw_checkbox(img, x, y, size, ticked, alpha):
    """Small outlined checkbox; ticked ones get a tick drawn in pixels."""
    white = (255, 255, 255)
    fill_rect(img, x + 1, y, size - 2, 1, white, alpha)
    fill_rect(img, x + 1, y + size - 1, size - 2, 1, white, alpha)
    fill_rect(img, x, y + 1, 1, size - 2, white, alpha)
    fill_rect(img, x + size - 1, y + 1, 1, size - 2, white, alpha)
    if ticked:
        # Tick for a 12 px box: short arm down-right, long arm up-right.
        pts = [(3, 6), (4, 7), (5, 8), (6, 7), (7, 6), (8, 5), (9, 4)]
        for px, py in pts:
            fill_rect(img, x + px, y + py - 1, 1, 2, white, min(1.0, alpha + 0.35))


# ---------------------------------------------------------------------------
# Composition
# ---------------------------------------------------------------------------

BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def compose():
    img = []
    for y in range(HEIGHT):
        row = []
        for x in range(WIDTH):
            t = x / (WIDTH - 1)
            # A touch of vertical shading gives the strip some depth.
            v = 1.06 - 0.14 * (y / (HEIGHT - 1))
            row.append([min(255.0, (a + (b - a) * t) * v) for a, b in zip(GRAD_LEFT, GRAD_RIGHT)])
        img.append(row)

    # Hairline highlight along the top edge and a darker one along the bottom.
    fill_rect(img, 0, 0, WIDTH, 1, (255, 255, 255), 0.22)
    fill_rect(img, 0, HEIGHT - 1, WIDTH, 1, (0, 0, 0), 0.30)

    margin = 10
    icon_size = 44
    icon_y = (HEIGHT - icon_size) // 2
    blend_rgba(img, margin, icon_y, make_icon.render_rgba(icon_size, ss=4))

    text_x = margin + icon_size + 12
    title_scale, tag_scale = 3, 2
    title_y = 7
    tag_y = title_y + 7 * title_scale + 7

    # Shadows first, then the text itself.
    draw_text(img, text_x + 2, title_y + 2, TITLE, title_scale, TITLE_SHADOW, bold=1)
    title_end = draw_text(img, text_x, title_y, TITLE, title_scale, TITLE_COLOUR, bold=1)
    draw_text(img, text_x + 1, tag_y + 1, TAGLINE, tag_scale, TAG_SHADOW)
    tag_end = draw_text(img, text_x, tag_y, TAGLINE, tag_scale, TAG_COLOUR)

    assert tag_end <= WIDTH - margin, "tagline too wide (%d)" % tag_end
    assert tag_y + GLYPH_ROWS * tag_scale <= HEIGHT - 4, "tagline too low"

    # A row of checkboxes, right-aligned with the end of the tagline and
    # vertically centred on the title.
    box, gap, count = 12, 7, 6
    row_w = count * box + (count - 1) * gap
    bx = tag_end - row_w
    by = title_y + (7 * title_scale - box) // 2
    assert bx > title_end + 20
    ticks = [True, True, False, True, False, True]
    for i in range(count):
        draw_checkbox(img, bx + i * (box + gap), by, box, ticks[i], 0.55)

    return img


def encode_bmp(img):
    stride = (WIDTH * 2 + 3) & ~3
    pixels = bytearray()
    for y in range(HEIGHT - 1, -1, -1):          # bottom-up
        line = bytearray()
        for x, (r, g, b) in enumerate(img[y]):
            d = (BAYER4[y & 3][x & 3] + 0.5) / 16.0
            q = [min(31, int(v * 31 / 255 + d)) for v in (r, g, b)]
            line += struct.pack("<H", (q[0] << 10) | (q[1] << 5) | q[2])
        line += bytes(stride - len(line))
        pixels += line
    off = 14 + 40
    file_header = struct.pack("<2sIHHI", b"BM", off + len(pixels), 0, 0, off)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 16, 0,  # BI_RGB
                       len(pixels), 2835, 2835, 0, 0)
    return file_header + info + bytes(pixels)


def main(argv):
    out = argv[1] if len(argv) > 1 else DEFAULT_OUT
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    data = encode_bmp(compose())
    with open(out, "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes, %dx%d, 16 bpp)" % (out, len(data), WIDTH, HEIGHT))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
