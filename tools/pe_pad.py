#!/usr/bin/env python3
"""Pads a Windows executable to a multiple of 8 bytes and sets its checksum.

    pe_pad.py FILE

A signature is appended at a multiple of 8 bytes, and removing one keeps the
padding and writes the checksum anew: a file padded and summed here comes
back byte for byte when a signature is added and removed again.
"""
import struct
import sys


def checksum(data):
    """The PE checksum of data whose checksum field holds zero."""
    total = 0
    for (word,) in struct.iter_unpack("<H", data + b"\0" * (len(data) % 2)):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def main():
    path = sys.argv[1]
    data = bytearray(open(path, "rb").read())
    if data[:2] != b"MZ":
        sys.exit(f"{path}: not a Windows executable")
    data += b"\0" * (-len(data) % 8)
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"{path}: no PE header")
    field = pe + 24 + 64
    struct.pack_into("<I", data, field, 0)
    struct.pack_into("<I", data, field, checksum(bytes(data)))
    open(path, "wb").write(data)


if __name__ == "__main__":
    main()
