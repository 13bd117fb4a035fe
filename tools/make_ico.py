#!/usr/bin/env python3
"""Writes the program's icon as a Windows .ico, from the picture that
app/icon/make_icon.py draws.

  make_ico.py OUT.ico

The file holds the 32 x 32, 16-colour picture itself (4 bits a pixel, the
classic palette) and the same picture resampled to 16, 48 and 256 pixels in
true colour (256 as a PNG, as Windows stores its large icons). Every image
is opaque. The output is deterministic.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # nothing left beside the icon
sys.path.insert(0, os.path.join(HERE, "..", "app", "icon"))
import make_icon  # noqa: E402  (the icon's own drawing, beside its PNGs)


def row_bytes(bits_per_row):
    """A DIB row's length in bytes: padded to 32 bits."""
    return (bits_per_row + 31) // 32 * 4


def dib_header(n, bit_count, image_size, colours):
    # The height counts the colour image and the mask below it.
    return struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, bit_count, 0, image_size, 0, 0, colours, 0)


def and_mask(n):
    return bytes(row_bytes(n) * n)  # every pixel opaque


def paletted_dib(rows):
    """The picture as a 4-bit DIB over the 16-colour palette, bottom row first."""
    n = len(rows)
    index = {ch: i for i, (ch, _) in enumerate(make_icon.PALETTE)}
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in
                       (make_icon.rgb(ch) for ch, _ in make_icon.PALETTE))
    pixels = b""
    for row in reversed(rows):
        line = bytearray(row_bytes(4 * n))
        for x, ch in enumerate(row):
            line[x // 2] |= index[ch] << (0 if x % 2 else 4)
        pixels += bytes(line)
    body = palette + pixels + and_mask(n)
    return dib_header(n, 4, len(pixels), 16) + body


def true_colour_dib(pixels):
    """Resampled pixels as a 32-bit DIB (opaque alpha), bottom row first."""
    n = len(pixels)
    data = b"".join(bytes((b, g, r, 255)) for line in reversed(pixels) for r, g, b in line)
    return dib_header(n, 32, len(data), 0) + data + and_mask(n)


def ico_bytes(rows):
    images = [(16, 32, 0, true_colour_dib(make_icon.scaled(rows, 16))),
              (32, 4, 16, paletted_dib(rows)),
              (48, 32, 0, true_colour_dib(make_icon.scaled(rows, 48))),
              (256, 32, 0, make_icon.png_bytes(make_icon.scaled(rows, 256)))]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    data = b""
    for n, bit_count, colours, image in images:
        side = 0 if n == 256 else n  # 0 stands for 256
        directory += struct.pack("<BBBBHHII", side, side, colours, 0, 1, bit_count, len(image),
                                 offset + len(data))
        data += image
    return directory + data


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    with open(argv[1], "wb") as out:
        out.write(ico_bytes(make_icon.picture()))


if __name__ == "__main__":
    main(sys.argv)
