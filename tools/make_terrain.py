#!/usr/bin/env python3
"""Writes a small terrain in UTM metres (zone 33N) as an ASCII STL: a 2 m x
1.5 m patch of ground whose lower-left corner lies at 433217.3 E,
5212844.65 N, heights about 312 m, on a 0.25 m grid of vertices, two
triangles a cell. Its coordinates are millions of metres: read in metres
they fit the grid only with --shift.

Usage: make_terrain.py OUT.stl
"""
import sys

X0, Y0 = 4332173, 52128446.5  # tenths of a metre, kept whole below
STEP = 2.5  # tenths of a metre
COLUMNS, ROWS = 9, 7


def height(i, j):
    # Millimetres above 312 m, a gentle slope and a bump: whole thousandths.
    return 312000 + 40 * i + 25 * j + (150 if (i, j) == (4, 3) else 0)


def point(i, j):
    x = (X0 + i * STEP) / 10
    y = (Y0 + j * STEP) / 10
    return "%.3f %.3f %.3f" % (x, y, height(i, j) / 1000)


def main():
    out = ["solid utm_terrain"]
    for j in range(ROWS - 1):
        for i in range(COLUMNS - 1):
            for tri in (((i, j), (i + 1, j), (i + 1, j + 1)), ((i, j), (i + 1, j + 1), (i, j + 1))):
                out.append("  facet normal 0 0 1")
                out.append("    outer loop")
                for a, b in tri:
                    out.append("      vertex " + point(a, b))
                out.append("    endloop")
                out.append("  endfacet")
    out.append("endsolid utm_terrain")
    with open(sys.argv[1], "w", newline="\n") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
