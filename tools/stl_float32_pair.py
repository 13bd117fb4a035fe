#!/usr/bin/env python3
"""Writes a binary copy of an ASCII STL file and an ASCII twin of that copy.

    stl_float32_pair.py INPUT.stl ASCII_OUT.stl BINARY_OUT.stl

The vertex lines of INPUT are taken as the converter takes them (first word
"vertex" in any letter case, grouped by threes, an incomplete last triangle
dropped). Every coordinate is rounded to float32; BINARY_OUT holds those
values in a binary STL, ASCII_OUT the same values printed as exact decimals,
so both files describe exactly the same numbers. Normals are written as 0.
"""
import struct
import sys
from decimal import Decimal


def vertex_lines(data):
    text = data.replace(b"\r\n", b"\n").replace(b"\r", b"\n")
    for line in text.split(b"\n"):
        if line[:1] == b"\x1a":
            return
        line = line.lstrip(bytes(range(33)))
        if line[:6].lower() == b"vertex":
            yield line[6:]


def float32(text):
    return struct.unpack("<f", struct.pack("<f", float(text)))[0]


def exact(value):
    # Decimal of a float is its exact binary value; 'f' keeps it plain.
    text = format(Decimal(value), "f")
    return text.rstrip("0").rstrip(".") if "." in text else text


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    with open(argv[1], "rb") as f:
        data = f.read()
    vertices = [tuple(float32(t) for t in rest.split()[:3]) for rest in vertex_lines(data)]
    triangles = [vertices[i:i + 3] for i in range(0, len(vertices) - 2, 3)]
    with open(argv[3], "wb") as out:
        out.write(b"binary copy".ljust(80, b" "))
        out.write(struct.pack("<I", len(triangles)))
        for t in triangles:
            out.write(struct.pack("<12fH", 0, 0, 0, *t[0], *t[1], *t[2], 0))
    with open(argv[2], "w", newline="\n") as out:
        out.write("solid copy\n")
        for t in triangles:
            out.write("facet normal 0 0 0\nouter loop\n")
            for v in t:
                out.write("vertex %s %s %s\n" % tuple(exact(c) for c in v))
            out.write("endloop\nendfacet\n")
        out.write("endsolid copy\n")


if __name__ == "__main__":
    main(sys.argv)
