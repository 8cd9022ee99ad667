#!/usr/bin/env python3
"""Generate res/notice.gif, the blinking administrator notice of the main dialog.

A GIF89a of 115 x 185 pixels with a 128-entry global colour table and two
frames of 50 hundredths each, looping for ever. Both frames show the text

    FOR FULL / CONFIG / ACCES / RUN AS / ADMIN

in a 5x7 bitmap font drawn at twice the width and three times the height,
centred inside a border; frame 1 is white on dark red, frame 2 dark red on
yellow, so the notice blinks.

Block layout (GIF89a):
    header, logical screen descriptor, global colour table
    unit 1: graphic control extension (disposal 1, transparent index 69)
            NETSCAPE2.0 looping extension (loop count 0)
            image 115x185 at 0,0, no local table, LZW minimum code size 7
    unit 2: graphic control extension (disposal 2, transparent index 69)
            image 115x185 at 0,0
    trailer

Palette index 69 is the transparent index and is never drawn.

The encoder output is decoded again and compared with the pixels before
anything is written.

Only the Python standard library is used.

Usage:  python3 tools/make_notice_gif.py [output.gif]
        python3 tools/make_notice_gif.py --self-test
"""

import os
import random
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_OUT = os.path.join(ROOT, "res", "notice.gif")

WIDTH, HEIGHT = 115, 185
PALETTE_SIZE = 128
TRANSPARENT = 69
DELAY = 50  # hundredths of a second
MIN_CODE_SIZE = 7

# ---------------------------------------------------------------------------
# Design
# ---------------------------------------------------------------------------

BLACK, WHITE, DARK_RED, YELLOW = 0, 1, 2, 3

LINES = ["FOR FULL", "CONFIG", "ACCES", "RUN AS", "ADMIN"]
SCALE_X, SCALE_Y = 2, 3
LETTER_GAP = 2  # pixels between letters
LINE_GAP = 10   # pixels between lines
BORDER = 3      # width of the frame drawn just inside the edge
BORDER_INSET = 2

# (background, text and border) per frame.
SCHEMES = [(DARK_RED, WHITE), (YELLOW, DARK_RED)]

# 5x7 glyphs, one string per row, '#' set.
FONT = {
    " ": ["....."] * 7,
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "G": [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".###."],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
}


def palette():
    """128 RGB triples: the four colours in use, a magenta key at the
    transparent index, and a grey ramp filling the rest."""
    colours = []
    for i in range(PALETTE_SIZE):
        grey = i * 255 // (PALETTE_SIZE - 1)
        colours.append((grey, grey, grey))
    colours[BLACK] = (0, 0, 0)
    colours[WHITE] = (255, 255, 255)
    colours[DARK_RED] = (150, 0, 0)
    colours[YELLOW] = (255, 214, 0)
    colours[TRANSPARENT] = (255, 0, 255)
    return colours


def text_width(line):
    return len(line) * (5 * SCALE_X + LETTER_GAP) - LETTER_GAP


def render(background, ink):
    """Pixel indices of one frame, row by row."""
    pixels = [[background] * WIDTH for _ in range(HEIGHT)]

    def fill(x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                pixels[y][x] = colour

    # Border: a frame BORDER pixels wide, BORDER_INSET pixels inside the edge.
    a, b = BORDER_INSET, BORDER_INSET + BORDER
    fill(a, a, WIDTH - a, b, ink)
    fill(a, HEIGHT - b, WIDTH - a, HEIGHT - a, ink)
    fill(a, a, b, HEIGHT - a, ink)
    fill(WIDTH - b, a, WIDTH - a, HEIGHT - a, ink)

    glyph_h = 7 * SCALE_Y
    block_h = len(LINES) * glyph_h + (len(LINES) - 1) * LINE_GAP
    y = (HEIGHT - block_h) // 2
    for line in LINES:
        x = (WIDTH - text_width(line)) // 2
        for ch in line:
            for row, bits in enumerate(FONT[ch]):
                for col, bit in enumerate(bits):
                    if bit == "#":
                        fill(x + col * SCALE_X, y + row * SCALE_Y,
                             x + (col + 1) * SCALE_X, y + (row + 1) * SCALE_Y, ink)
            x += 5 * SCALE_X + LETTER_GAP
        y += glyph_h + LINE_GAP
    flat = [p for row in pixels for p in row]
    assert TRANSPARENT not in flat
    return flat


# ---------------------------------------------------------------------------
# LZW as GIF uses it: variable code width from min + 1 up to 12 bits, codes
# packed least significant bit first.
# ---------------------------------------------------------------------------

MAX_CODES = 4096


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.nbits = 0

    def write(self, code, width):
        self.acc |= code << self.nbits
        self.nbits += width
        while self.nbits >= 8:
            self.out.append(self.acc & 0xFF)
            self.acc >>= 8
            self.nbits -= 8

    def flush(self):
        if self.nbits:
            self.out.append(self.acc & 0xFF)
        self.acc = self.nbits = 0
        return bytes(self.out)


def lzw_encode(pixels, min_code_size):
    clear = 1 << min_code_size
    end = clear + 1
    out = BitWriter()

    def reset():
        return {}, end + 1, min_code_size + 1

    table, next_code, width = reset()
    out.write(clear, width)
    if not pixels:
        out.write(end, width)
        return out.flush()
    prefix = pixels[0]
    for p in pixels[1:]:
        key = (prefix, p)
        if key in table:
            prefix = table[key]
            continue
        out.write(prefix, width)
        if next_code < MAX_CODES:
            table[key] = next_code
            next_code += 1
            # The decoder adds each entry one code later than we do, so the
            # width grows once the table holds a code that needs it.
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            # Table full: start over rather than keep coding with it frozen.
            out.write(clear, width)
            table, next_code, width = reset()
        prefix = p
    out.write(prefix, width)
    out.write(end, width)
    return out.flush()


def lzw_decode(data, min_code_size):
    """Straightforward decoder, used to check the encoder."""
    clear = 1 << min_code_size
    end = clear + 1
    pos = 0
    acc = 0
    nbits = 0
    out = []

    def read(width):
        nonlocal pos, acc, nbits
        while nbits < width:
            if pos >= len(data):
                raise ValueError("LZW data ends without an end code")
            acc |= data[pos] << nbits
            pos += 1
            nbits += 8
        code = acc & ((1 << width) - 1)
        acc >>= width
        nbits -= width
        return code

    width = min_code_size + 1
    table = None
    prev = None
    while True:
        code = read(width)
        if code == clear:
            table = [[i] for i in range(clear)] + [None, None]
            width = min_code_size + 1
            prev = None
            continue
        if code == end:
            return out
        if table is None:
            raise ValueError("LZW data does not start with a clear code")
        if prev is None:
            entry = table[code]
        elif code < len(table):
            entry = table[code]
            if len(table) < MAX_CODES:
                table.append(prev + entry[:1])
        elif code == len(table):
            entry = prev + prev[:1]
            table.append(entry)
        else:
            raise ValueError("LZW code %d beyond the table" % code)
        out.extend(entry)
        prev = entry
        if len(table) == (1 << width) and width < 12:
            width += 1


# ---------------------------------------------------------------------------
# GIF blocks
# ---------------------------------------------------------------------------


def sub_blocks(data):
    """Data sub-blocks of up to 255 bytes, then the terminator."""
    out = bytearray()
    for pos in range(0, len(data), 255):
        chunk = data[pos:pos + 255]
        out.append(len(chunk))
        out += chunk
    out.append(0)
    return bytes(out)


def graphic_control(disposal, delay, transparent):
    packed = (disposal << 2) | (1 if transparent is not None else 0)
    return struct.pack("<BBBBHBB", 0x21, 0xF9, 4, packed, delay, transparent or 0, 0)


def looping(count):
    return b"\x21\xFF\x0BNETSCAPE2.0" + sub_blocks(struct.pack("<BH", 1, count))


def image(pixels):
    descriptor = struct.pack("<BHHHHB", 0x2C, 0, 0, WIDTH, HEIGHT, 0)
    data = lzw_encode(pixels, MIN_CODE_SIZE)
    if lzw_decode(data, MIN_CODE_SIZE) != pixels:
        raise AssertionError("LZW round trip failed")
    return descriptor + bytes([MIN_CODE_SIZE]) + sub_blocks(data)


def build():
    bits = PALETTE_SIZE.bit_length() - 2  # table of 2^(bits+1) entries
    header = b"GIF89a" + struct.pack("<HHBBB", WIDTH, HEIGHT, 0x80 | (7 << 4) | bits, 0, 0)
    table = b"".join(bytes(c) for c in palette())
    frames = [render(bg, ink) for bg, ink in SCHEMES]

    unit1 = graphic_control(1, DELAY, TRANSPARENT) + looping(0) + image(frames[0])
    unit2 = graphic_control(2, DELAY, TRANSPARENT) + image(frames[1])
    return header + table + unit1 + unit2 + b"\x3B"


def self_test():
    rng = random.Random(4)
    cases = [[], [5], [1] * 5000, [rng.randrange(128) for _ in range(60000)],
             [rng.randrange(4) for _ in range(60000)], [i % 128 for i in range(30000)]]
    for pixels in cases:
        assert lzw_decode(lzw_encode(pixels, 7), 7) == pixels
    for n in (2, 3, 8):
        pixels = [rng.randrange(n) for _ in range(20000)]
        size = max(2, (n - 1).bit_length())
        assert lzw_decode(lzw_encode(pixels, size), size) == pixels
    for n in (0, 1, 255, 256, 510, 1000):
        chain = sub_blocks(bytes(n))
        assert len(chain) == n + (n + 254) // 255 + 1 and chain[-1] == 0
    print("self-test passed")


def main(argv):
    if argv[1:] == ["--self-test"]:
        self_test()
        return 0
    out = argv[1] if len(argv) > 1 else DEFAULT_OUT
    gif = build()
    with open(out, "wb") as f:
        f.write(gif)
    print("wrote %s (%d bytes)" % (out, len(gif)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
