#!/usr/bin/env python3
"""Prints what a PNG holds, whatever bytes its encoder chose: the header,
the text chunks and a digest of the pixels after undoing the row filters.
Two PNGs hold the same image when this prints the same for both.

    png_content.py IMAGE.png
"""
import hashlib
import struct
import sys
import zlib


def chunks(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit("not a PNG")
    at = 8
    while at < len(data):
        (length,) = struct.unpack(">I", data[at:at + 4])
        kind = data[at + 4:at + 8]
        yield kind, data[at + 8:at + 8 + length]
        at += 12 + length


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else (b if pb <= pc else c)


def unfilter(raw, width, height, pixel_bytes):
    stride = width * pixel_bytes
    rows, previous, at = [], bytearray(stride), 0
    for _ in range(height):
        kind, row = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            left = row[i - pixel_bytes] if i >= pixel_bytes else 0
            up = previous[i]
            corner = previous[i - pixel_bytes] if i >= pixel_bytes else 0
            add = (0, left, up, (left + up) // 2, paeth(left, up, corner))[kind]
            row[i] = (row[i] + add) & 0xFF
        rows.append(bytes(row))
        previous = row
    return b"".join(rows)


def main():
    data = open(sys.argv[1], "rb").read()
    header, texts, packed = None, [], b""
    for kind, body in chunks(data):
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind in (b"tEXt", b"iTXt", b"zTXt"):
            texts.append(kind + b" " + body)
        elif kind == b"IDAT":
            packed += body
    width, height, depth, colour = header[:4]
    channels = {0: 1, 2: 3, 4: 2, 6: 4}[colour]
    pixels = unfilter(zlib.decompress(packed), width, height, channels * depth // 8)
    print("header", header)
    for text in texts:
        print(text)
    print("pixels", hashlib.sha256(pixels).hexdigest())


main()
