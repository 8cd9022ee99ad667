#!/usr/bin/env python3
"""Writes an empty registry hive file: a root key and its security cell.

hivexregedit --merge only changes existing hives; this is the scratch hive
that each backup is merged into.
"""
import struct
import sys

PAGE = 4096
BIN = PAGE


def cell(payload):
    size = (4 + len(payload) + 7) & ~7
    return struct.pack("<i", -size) + payload + b"\0" * (size - 4 - len(payload))


def main(path):
    root_at = 0x20
    name = b"ROOT"
    nk_size = (4 + 0x4C + len(name) + 7) & ~7
    sk_at = root_at + nk_size
    descriptor = struct.pack("<BBHIIII", 1, 0, 0x8004, 0, 0, 0, 0)
    nk = (b"nk" + struct.pack("<HQIIIIIIIIIIIIIIIHH", 0x2C, 0, 0, 0, 0, 0,
                              0xFFFFFFFF, 0xFFFFFFFF, 0, 0xFFFFFFFF, sk_at,
                              0xFFFFFFFF, 0, 0, 0, 0, 0, len(name), 0) + name)
    sk = b"sk" + struct.pack("<HIIII", 0, sk_at, sk_at, 1, len(descriptor)) + descriptor
    cells = cell(nk) + cell(sk)
    free = BIN - 0x20 - len(cells)
    cells += struct.pack("<i", free) + b"\0" * (free - 4)
    hbin = b"hbin" + struct.pack("<II8s8sI", 0, BIN, b"", b"", 0) + cells

    header = bytearray(PAGE)
    struct.pack_into("<4sIIQIIIIIII", header, 0, b"regf", 1, 1, 0, 1, 3, 0, 1,
                     root_at, BIN, 1)
    checksum = 0
    for (word,) in struct.iter_unpack("<I", bytes(header[:0x1FC])):
        checksum ^= word
    checksum = {0: 1, 0xFFFFFFFF: 0xFFFFFFFE}.get(checksum, checksum)
    struct.pack_into("<I", header, 0x1FC, checksum)
    with open(path, "wb") as out:
        out.write(bytes(header) + hbin)


if __name__ == "__main__":
    main(sys.argv[1])
