#!/usr/bin/env python3
"""Sanity-check the generated artwork in res/ by re-reading the file headers.

    python3 tools/check_assets.py            # checks res/banner.bmp and res/morvane.ico
    python3 tools/check_assets.py --build    # regenerates both first, then checks

Exits non-zero (AssertionError) if anything is off.
"""

import os
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
BANNER = os.path.join(ROOT, "res", "banner.bmp")
ICON = os.path.join(ROOT, "res", "morvane.ico")

# (size, bits per pixel, how it is stored): the large entries as PNG, the
# others as DIBs that every reader understands.
EXPECTED_ICON = [(48, 8, "DIB"), (32, 8, "DIB"), (16, 8, "DIB"), (256, 32, "PNG"),
                 (128, 32, "PNG"), (48, 32, "PNG"), (32, 32, "DIB"), (16, 32, "DIB")]


def check_banner(path):
    data = open(path, "rb").read()
    magic, file_size, _, _, off_bits = struct.unpack_from("<2sIHHI", data, 0)
    assert magic == b"BM", "not a BMP"
    assert file_size == len(data), "bfSize %d != file length %d" % (file_size, len(data))
    (bi_size, width, height, planes, bpp, compression, size_image,
     _, _, clr_used, _) = struct.unpack_from("<IiiHHIIiiII", data, 14)
    assert bi_size == 40, "expected BITMAPINFOHEADER, got biSize %d" % bi_size
    assert (width, height) == (468, 60), "size %dx%d" % (width, height)  # height > 0: bottom-up
    assert planes == 1 and bpp == 16, "planes %d bpp %d" % (planes, bpp)
    assert compression == 0, "biCompression %d, expected BI_RGB" % compression
    assert clr_used == 0
    stride = (width * 2 + 3) & ~3
    assert off_bits == 14 + 40
    assert size_image in (0, stride * height)
    assert len(data) == off_bits + stride * height, "pixel data length mismatch"
    return "%s: %dx%d, %d bpp, BI_RGB, %d bytes" % (os.path.basename(path), width, height, bpp, len(data))


def _check_png(blob, size):
    assert blob[:8] == b"\x89PNG\r\n\x1a\n", "bad PNG signature"
    length, tag = struct.unpack_from(">I4s", blob, 8)
    assert tag == b"IHDR" and length == 13
    w, h, depth, ctype = struct.unpack_from(">IIBB", blob, 16)
    assert (w, h) == (size, size), "PNG is %dx%d" % (w, h)
    assert depth == 8 and ctype == 6, "PNG must be 8-bit RGBA"
    return "PNG"


def _check_dib(blob, size, bpp):
    (bi_size, width, height, planes, bitcount, compression,
     _, _, _, clr_used, _) = struct.unpack_from("<IiiHHIIiiII", blob, 0)
    assert bi_size == 40
    assert width == size and height == 2 * size, "DIB %dx%d for %d" % (width, height, size)
    assert planes == 1 and bitcount == bpp and compression == 0
    palette = 0
    if bpp <= 8:
        palette = 4 * (clr_used or (1 << bpp))
        assert palette == 4 * 256, "expected a 256-colour palette"
    xor_stride = ((size * bpp + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    expected = 40 + palette + (xor_stride + and_stride) * size
    assert len(blob) == expected, "DIB length %d, expected %d" % (len(blob), expected)
    return "DIB"


def check_icon(path):
    data = open(path, "rb").read()
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    assert reserved == 0 and kind == 1, "not an icon file"
    assert count == len(EXPECTED_ICON), "%d images, expected %d" % (count, len(EXPECTED_ICON))
    lines = []
    end_of_dir = 6 + 16 * count
    spans = []
    for i, (size, bpp, stored) in enumerate(EXPECTED_ICON):
        w, h, colours, res, planes, bitcount, nbytes, offset = struct.unpack_from(
            "<BBBBHHII", data, 6 + 16 * i)
        w, h = w or 256, h or 256
        assert (w, h) == (size, size), "image %d is %dx%d, expected %d" % (i, w, h, size)
        assert bitcount == bpp, "image %d has %d bpp, expected %d" % (i, bitcount, bpp)
        assert planes == 1 and res == 0 and colours == 0
        assert offset >= end_of_dir and offset + nbytes <= len(data), "image %d out of bounds" % i
        spans.append((offset, offset + nbytes))
        blob = data[offset:offset + nbytes]
        kind = _check_png(blob, size) if blob[:4] == b"\x89PNG" else _check_dib(blob, size, bpp)
        assert kind == stored, "image %d is stored as %s, expected %s" % (i, kind, stored)
        lines.append("  [%d] %3dx%-3d %2d bpp %s, %d bytes" % (i, size, size, bpp, kind, nbytes))
    spans.sort()
    for (a0, a1), (b0, b1) in zip(spans, spans[1:]):
        assert a1 <= b0, "image data overlaps"
    return "%s: %d images\n%s" % (os.path.basename(path), count, "\n".join(lines))


def main(argv):
    if "--build" in argv:
        for script in ("make_icon.py", "make_banner_bmp.py"):
            subprocess.check_call([sys.executable, os.path.join(HERE, script)])
    print(check_banner(BANNER))
    print(check_icon(ICON))
    print("assets OK")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
