#!/usr/bin/env python3
"""Generate res/morvane.ico, the Morvane application icon.

The design is a rounded blue square (a checkbox) with a white tick.
It is drawn procedurally, so every size comes from the same geometry.

The file holds eight images, in this order:
    48x48, 32x32, 16x16   8 bpp, 256-colour palette, hard edges, AND mask
    256x256, 128x128, 48x48  32 bpp RGBA, stored as PNG (the convention for
                          the large entries, a fraction of a DIB's size)
    32x32, 16x16          32 bpp BGRA DIB with alpha, plus AND mask

Only the Python standard library is used.

Usage:  python3 tools/make_icon.py [output.ico]
"""

import math
import os
import struct
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_OUT = os.path.join(ROOT, "res", "morvane.ico")

# (size, bits per pixel, stored as PNG) in directory order.
LAYOUT = [
    (48, 8, False),
    (32, 8, False),
    (16, 8, False),
    (256, 32, True),
    (128, 32, True),
    (48, 32, True),
    (32, 32, False),
    (16, 32, False),
]

# ---------------------------------------------------------------------------
# Design
# ---------------------------------------------------------------------------

BORDER = (16, 58, 140)        # dark blue outline
FILL_TOP = (84, 166, 255)     # light blue at the top of the box
FILL_BOTTOM = (26, 96, 214)   # deeper blue at the bottom
TICK = (255, 255, 255)
SHADOW_DARKEN = 0.72          # factor applied to the fill under the tick shadow

# Tick polyline in unit coordinates (0..1 across the icon).
TICK_POINTS = [(0.265, 0.525), (0.435, 0.695), (0.750, 0.335)]

# Materials returned by the sampler.
M_NONE, M_BORDER, M_FILL, M_SHADOW, M_TICK = range(5)


def _geometry(size):
    """Pixel-space parameters of the design for a given icon size."""
    margin = size / 16.0                      # box edges land on whole pixels
    half = size / 2.0 - margin                # half extent of the box
    radius = size * 0.19
    border = 1.0 if size <= 32 else size / 40.0
    # Slightly heavier tick at the small sizes so it stays readable.
    if size <= 16:
        tick_half = 1.15
    elif size <= 32:
        tick_half = size * 0.07
    else:
        tick_half = size * 0.068
    if size <= 16:
        # Hand-placed on the 16 px grid so the tick's arms stay crisp.
        pts = [(4.3, 8.3), (6.8, 10.8), (11.9, 5.2)]
    else:
        pts = [(x * size, y * size) for x, y in TICK_POINTS]
    shadow = size * 0.022 if size >= 48 else 0.0
    return margin, half, radius, border, tick_half, pts, shadow


def _rounded_box_sdf(px, py, cx, cy, half, radius):
    qx = abs(px - cx) - half + radius
    qy = abs(py - cy) - half + radius
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    inside = min(max(qx, qy), 0.0)
    return outside + inside - radius


def _segment_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = 0.0 if t < 0.0 else 1.0 if t > 1.0 else t
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def _polyline_dist(px, py, pts):
    best = 1e9
    for (ax, ay), (bx, by) in zip(pts, pts[1:]):
        d = _segment_dist(px, py, ax, ay, bx, by)
        if d < best:
            best = d
    return best


def _material(px, py, size, geo):
    margin, half, radius, border, tick_half, pts, shadow = geo
    c = size / 2.0
    d = _rounded_box_sdf(px, py, c, c, half, radius)
    if d > 0.0:
        return M_NONE
    if _polyline_dist(px, py, pts) <= tick_half:
        return M_TICK
    if d > -border:
        return M_BORDER
    if shadow > 0.0 and _polyline_dist(px - shadow * 0.5, py - shadow, pts) <= tick_half:
        return M_SHADOW
    return M_FILL


def _fill_colour(py, size, darken=1.0):
    margin = size / 16.0
    t = (py - margin) / (size - 2 * margin)
    t = 0.0 if t < 0.0 else 1.0 if t > 1.0 else t
    return tuple((a + (b - a) * t) * darken for a, b in zip(FILL_TOP, FILL_BOTTOM))


def render_rgba(size, ss=4):
    """Anti-aliased rendering: rows of (r, g, b, a) tuples, top row first."""
    geo = _geometry(size)
    offsets = [(i + 0.5) / ss for i in range(ss)]
    n = float(ss * ss)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            r = g = b = a = 0.0
            for oy in offsets:
                py = y + oy
                for ox in offsets:
                    px = x + ox
                    m = _material(px, py, size, geo)
                    if m == M_NONE:
                        continue
                    if m == M_TICK:
                        col = TICK
                    elif m == M_BORDER:
                        col = BORDER
                    elif m == M_SHADOW:
                        col = _fill_colour(py, size, SHADOW_DARKEN)
                    else:
                        col = _fill_colour(py, size)
                    r += col[0]
                    g += col[1]
                    b += col[2]
                    a += 1.0
            if a == 0.0:
                row.append((0, 0, 0, 0))
            else:
                row.append((int(round(r / a)), int(round(g / a)), int(round(b / a)),
                            int(round(255 * a / n))))
        rows.append(row)
    return rows


# ---------------------------------------------------------------------------
# 8-bit palettised rendering (hard edges)
# ---------------------------------------------------------------------------

RAMP_STEPS = 8


def build_palette():
    """256 RGB entries: 0 transparent, 1 border, fill ramp, shadow ramp, white."""
    pal = [(0, 0, 0), BORDER]
    for i in range(RAMP_STEPS):
        t = i / (RAMP_STEPS - 1)
        pal.append(tuple(int(round(a + (b - a) * t)) for a, b in zip(FILL_TOP, FILL_BOTTOM)))
    for i in range(RAMP_STEPS):
        t = i / (RAMP_STEPS - 1)
        pal.append(tuple(int(round((a + (b - a) * t) * SHADOW_DARKEN))
                         for a, b in zip(FILL_TOP, FILL_BOTTOM)))
    pal.append(TICK)
    while len(pal) < 256:
        pal.append((0, 0, 0))
    return pal


IDX_BORDER = 1
IDX_FILL = 2
IDX_SHADOW = 2 + RAMP_STEPS
IDX_TICK = 2 + 2 * RAMP_STEPS


def render_indexed(size, ss=4):
    """Rows of palette indices (top row first) and a transparency mask."""
    geo = _geometry(size)
    offsets = [(i + 0.5) / ss for i in range(ss)]
    n = ss * ss
    idx_rows, mask_rows = [], []
    for y in range(size):
        irow, mrow = [], []
        for x in range(size):
            counts = [0] * 5
            for oy in offsets:
                for ox in offsets:
                    counts[_material(x + ox, y + oy, size, geo)] += 1
            if counts[M_NONE] * 2 > n:
                irow.append(0)
                mrow.append(1)
                continue
            mrow.append(0)
            if counts[M_TICK] * 5 >= n * 2:
                irow.append(IDX_TICK)
            elif counts[M_BORDER] + counts[M_NONE] > max(counts[M_FILL], counts[M_SHADOW]):
                irow.append(IDX_BORDER)
            else:
                margin = size / 16.0
                t = (y + 0.5 - margin) / (size - 2 * margin)
                step = min(RAMP_STEPS - 1, max(0, int(t * RAMP_STEPS)))
                base = IDX_SHADOW if counts[M_SHADOW] > counts[M_FILL] else IDX_FILL
                irow.append(base + step)
        idx_rows.append(irow)
        mask_rows.append(mrow)
    return idx_rows, mask_rows


# ---------------------------------------------------------------------------
# Encoders
# ---------------------------------------------------------------------------

def _bih(size, bpp, image_bytes):
    # biHeight is doubled: XOR bitmap followed by the AND mask.
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0,
                       image_bytes, 0, 0, 0, 0)


def _and_mask(mask_rows):
    size = len(mask_rows)
    stride = ((size + 31) // 32) * 4
    out = bytearray()
    for row in reversed(mask_rows):
        line = bytearray(stride)
        for x, bit in enumerate(row):
            if bit:
                line[x >> 3] |= 0x80 >> (x & 7)
        out += line
    return bytes(out)


def encode_dib8(size):
    idx_rows, mask_rows = render_indexed(size)
    stride = (size + 3) & ~3
    xor = bytearray()
    for row in reversed(idx_rows):
        xor += bytes(row) + bytes(stride - size)
    andm = _and_mask(mask_rows)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in build_palette())
    return _bih(size, 8, len(xor) + len(andm)) + pal + bytes(xor) + andm


def encode_dib32(size):
    rows = render_rgba(size)
    xor = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    andm = _and_mask([[1 if px[3] == 0 else 0 for px in row] for row in rows])
    return _bih(size, 32, len(xor) + len(andm)) + bytes(xor) + andm


def _png_chunk(tag, data):
    body = tag + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def encode_png(size):
    rows = render_rgba(size, ss=3)
    raw = bytearray()
    for row in rows:
        raw.append(0)  # filter: none
        for px in row:
            raw += bytes(px)
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + _png_chunk(b"IHDR", ihdr)
            + _png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + _png_chunk(b"IEND", b""))


def build_ico():
    images = []
    for size, bpp, as_png in LAYOUT:
        if as_png:
            data = encode_png(size)
        elif bpp == 8:
            data = encode_dib8(size)
        else:
            data = encode_dib32(size)
        images.append((size, bpp, data))

    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for size, bpp, data in images:
        dim = 0 if size >= 256 else size
        colours = 0  # 0 for 256 colours or more
        entries += struct.pack("<BBBBHHII", dim, dim, colours, 0, 1, bpp, len(data), offset)
        blobs += data
        offset += len(data)
    return header + entries + blobs


def main(argv):
    out = argv[1] if len(argv) > 1 else DEFAULT_OUT
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    data = build_ico()
    with open(out, "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes, %d images)" % (out, len(data), len(LAYOUT)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
