#!/usr/bin/env python3
"""Writes the binary STL test relief: tests/golden/binary_relief.stl.

    make_binary_relief.py [OUTPUT.stl]

A 4 x 3 mm height field on a 9 x 7 grid, two triangles per cell, heights
from a smooth bump rounded to float32 (so most are not whole grid units),
a tilted lid over one corner that overlaps the field in plan view (the two
modes differ there), and a header that begins with "solid" as some CAD
exporters write it. The same bytes on every run.
"""
import math
import struct
import sys


def height(i, j):
    return 1.5 + math.sin(i * 0.7) * math.cos(j * 0.9) + 0.05 * i


def main(argv):
    out_path = argv[1] if len(argv) > 1 else "tests/golden/binary_relief.stl"
    nx, ny, step = 9, 7, 0.5
    triangles = []
    for i in range(nx - 1):
        for j in range(ny - 1):
            p = [(x * step - 0.3, y * step + 0.1, height(x, y))
                 for x, y in ((i, j), (i + 1, j), (i + 1, j + 1), (i, j + 1))]
            triangles.append((p[0], p[1], p[2]))
            triangles.append((p[0], p[2], p[3]))
    # The lid: above the field at one side, below it at the other.
    triangles.append(((2.2, 1.6, 0.4), (3.9, 1.9, 3.1), (2.6, 3.05, 2.2)))
    with open(out_path, "wb") as out:
        out.write(b"solid binary relief, written by tools/make_binary_relief.py".ljust(80, b"\0"))
        out.write(struct.pack("<I", len(triangles)))
        for a, b, c in triangles:
            out.write(struct.pack("<12fH", 0, 0, 1, *a, *b, *c, 0))


if __name__ == "__main__":
    main(sys.argv)
