#!/usr/bin/env python3
"""Writes examples/relief.stl: a closed ASCII STL solid over 20 x 20 mm whose
top is a small relief (a round hill, a ridge along y and a terrace), on a
10 x 10 grid of 2 mm cells: 200 top triangles, 80 side walls and 40 on the
bottom, 320 in all.

    python3 tools/make_example.py [OUTPUT]
"""
import math
import sys

SIZE = 20.0   # mm, square footprint
CELLS = 10    # cells per side
STEP = SIZE / CELLS


def height(x, y):
    hill = 4.0 * math.exp(-((x - 12.0) ** 2 + (y - 11.0) ** 2) / 18.0)
    ridge = 1.5 * math.exp(-((x - 4.0) ** 2) / 3.0) * (y / SIZE)
    terrace = 0.75 if x + y >= 30.0 else 0.0
    return round(1.0 + hill + ridge + terrace, 3)


def normal(a, b, c):
    u = [b[i] - a[i] for i in range(3)]
    v = [c[i] - a[i] for i in range(3)]
    n = [u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]]
    length = math.sqrt(sum(k * k for k in n)) or 1.0
    return [k / length for k in n]


def facet(out, a, b, c):
    """One triangle, vertices counter-clockwise seen from outside."""
    n = normal(a, b, c)
    out.append("  facet normal %.6f %.6f %.6f" % tuple(n))
    out.append("    outer loop")
    for p in (a, b, c):
        out.append("      vertex %.3f %.3f %.3f" % p)
    out.append("    endloop")
    out.append("  endfacet")


def top(i, j):
    x, y = i * STEP, j * STEP
    return (x, y, height(x, y))


def floor(i, j):
    return (i * STEP, j * STEP, 0.0)


def walls(out, corners):
    """Side walls between consecutive edge points, outward facing."""
    for (i0, j0), (i1, j1) in zip(corners, corners[1:]):
        facet(out, floor(i0, j0), floor(i1, j1), top(i1, j1))
        facet(out, floor(i0, j0), top(i1, j1), top(i0, j0))


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "examples/relief.stl"
    out = ["solid relief"]
    for i in range(CELLS):
        for j in range(CELLS):
            facet(out, top(i, j), top(i + 1, j), top(i + 1, j + 1))
            facet(out, top(i, j), top(i + 1, j + 1), top(i, j + 1))
    n = CELLS
    # Walk the rim counter-clockwise seen from above.
    rim = ([(i, 0) for i in range(n + 1)] + [(n, j) for j in range(1, n + 1)] +
           [(i, n) for i in range(n - 1, -1, -1)] + [(0, j) for j in range(n - 1, -1, -1)])
    walls(out, rim)
    # The bottom is a fan from its centre to every rim step, so each edge of
    # the solid belongs to exactly two triangles.
    centre = (SIZE / 2, SIZE / 2, 0.0)
    for (i0, j0), (i1, j1) in zip(rim, rim[1:]):
        facet(out, centre, floor(i1, j1), floor(i0, j0))
    out.append("endsolid relief")
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
