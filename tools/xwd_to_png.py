#!/usr/bin/env python3
"""Turns an X window dump (xwd, a 24- or 32-bit TrueColor ZPixmap, as Xvfb
gives) into an 8-bit RGB PNG.

  xwd_to_png.py IN.xwd OUT.png
"""
import struct
import sys
import zlib


def read_xwd(data):
    """The pixels of a dump as rows of (r, g, b)."""
    fields = struct.unpack(">25I", data[:100])
    header_size, version, pixmap_format = fields[0], fields[1], fields[2]
    width, height = fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    visual_class, masks, ncolors = fields[13], fields[14:17], fields[19]
    if version != 7 or pixmap_format != 2 or visual_class not in (4, 5) or bits_per_pixel != 32:
        sys.exit("xwd_to_png: only 32-bit TrueColor ZPixmap dumps are read")
    start = header_size + 12 * ncolors
    order = "<I" if byte_order == 0 else ">I"
    shifts = [(m & -m).bit_length() - 1 for m in masks]
    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line: start + y * bytes_per_line + 4 * width]
        row = []
        for (value,) in struct.iter_unpack(order, line):
            row.append(tuple((value & m) >> s for m, s in zip(masks, shifts)))
        rows.append(row)
    return rows


def png_bytes(rows):
    def chunk(kind, payload):
        return (struct.pack(">I", len(payload)) + kind + payload
                + struct.pack(">I", zlib.crc32(kind + payload) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    with open(argv[1], "rb") as source:
        rows = read_xwd(source.read())
    with open(argv[2], "wb") as out:
        out.write(png_bytes(rows))


if __name__ == "__main__":
    main(sys.argv)
