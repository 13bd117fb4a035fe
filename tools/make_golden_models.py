#!/usr/bin/env python3
"""Writes the STL inputs of the golden cases into tests/golden/ (or FOLDER);
the binary relief comes from tools/make_binary_relief.py.
The cases themselves (arguments, expected exit status) are listed in
tests/golden/cases.txt; the expected outputs come from stl2hzm and are
checked against the rules by tools/check_golden.py.

    python3 tools/make_golden_models.py [FOLDER]

Coordinates are written with three decimals, all of them whole multiples of
0.025 mm or far from a half grid unit, so no model depends on how the last
bit of a millimetre value rounds.
"""
import os
import sys


def normal(a, b, c):
    u = [b[i] - a[i] for i in range(3)]
    v = [c[i] - a[i] for i in range(3)]
    n = [u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]]
    length = sum(k * k for k in n) ** 0.5 or 1.0
    return [k / length + 0.0 for k in n]  # + 0.0 turns -0.0 into 0.0


def vertex_line(p, keyword="vertex", gap=" "):
    return keyword + gap + " ".join("%.3f" % k for k in p)


def facet_lines(vertices, keyword="vertex", gap=" "):
    """One facet; its normal comes from the first three vertices."""
    lines = ["  facet normal %.6f %.6f %.6f" % tuple(normal(*vertices[:3])), "    outer loop"]
    lines += ["      " + vertex_line(p, keyword, gap) for p in vertices]
    lines += ["    endloop", "  endfacet"]
    return lines


def solid(name, facets):
    lines = ["solid " + name]
    for f in facets:
        lines += facet_lines(f)
    return lines + ["endsolid " + name]


def joined(lines, ends="\n"):
    """The lines as bytes; ends is one line end for all, or a list to cycle."""
    if isinstance(ends, str):
        ends = [ends]
    return "".join(line + ends[i % len(ends)] for i, line in enumerate(lines)).encode("ascii")


def quad(p00, p10, p11, p01):
    return [[p00, p10, p11], [p00, p11, p01]]


def relief():
    """5 x 4 mm: a sloping base over y 0..3.5 with a lower plate listed
    before it (the first covering triangle under --surface, never the
    highest), a steep triangle that passes through the base, a tall spike,
    and a vertical fin (no area in plan: it covers nothing, but widens the
    bounds up to y = 4)."""
    low_plate = [(0.5, 0.5, 0.2), (4.5, 0.5, 0.2), (2.5, 3.0, 0.6)]
    base = quad((0.0, 0.0, 1.0), (5.0, 0.0, 2.0), (5.0, 3.5, 2.35), (0.0, 3.5, 1.35))
    crossing = [(1.0, 1.0, 0.0), (4.0, 1.5, 4.0), (2.0, 3.9, 2.5)]
    spike = [(3.2, 2.2, 5.0), (3.9, 2.3, 5.5), (3.5, 3.1, 6.0)]
    fin = [(0.5, 4.0, 0.0), (4.5, 4.0, 8.0), (2.5, 4.0, 9.0)]
    return joined(solid("relief", [low_plate] + base + [crossing, spike, fin]))


def stop_model():
    """2 x 2.5 mm, for a pitch of 0.025 mm: 81 points a row, 101 rows, so
    the map passes 64 KB well before its last row. A slope and a pyramid."""
    slope = quad((0.0, 0.0, 1.0), (2.0, 0.0, 1.5), (2.0, 2.5, 3.0), (0.0, 2.5, 2.5))
    top = (1.0, 1.9, 4.0)
    corners = [(0.5, 1.4, 1.5), (1.5, 1.4, 1.5), (1.5, 2.4, 1.5), (0.5, 2.4, 1.5)]
    pyramid = [[corners[i], corners[(i + 1) % 4], top] for i in range(4)]
    return joined(solid("stop", slope + pyramid))


def bad_number():
    """Two good facets, then a vertex whose y is "2..5"."""
    lines = solid("bad", quad((0.0, 0.0, 1.0), (3.0, 0.0, 1.0), (3.0, 3.0, 2.0), (0.0, 3.0, 2.0)))
    lines = lines[:-1] + facet_lines([(0.5, 0.5, 1.0), (2.5, 0.5, 1.0), (1.5, 2.5, 3.0)])
    lines[-4] = "      vertex 1.500 2..5 3.000"
    return joined(lines + ["endsolid bad"])


def empty():
    return joined(["solid empty", "endsolid empty"])


def negative():
    """Everything below zero: x -3 .. -0.5, y -2 .. -0.25, z -2 .. -0.5 mm.
    The grid runs from the lowest x and y up to 0; points off the model take
    the lowest z."""
    body = quad((-3.0, -2.0, -2.0), (-0.5, -2.0, -1.0), (-0.5, -0.25, -0.5), (-3.0, -0.25, -1.5))
    dent = [(-2.5, -1.75, -1.8), (-1.0, -1.5, -1.9), (-1.75, -0.5, -1.95)]
    bump = [(-2.8, -1.0, -0.7), (-1.2, -1.9, -0.9), (-0.8, -0.4, -0.6)]
    return joined(solid("negative", body + [dent, bump]))


def four_vertex():
    """A facet with a fourth vertex line: every later triangle is formed from
    the wrong vertices, and the one vertex left over at the end still widens
    the bounds (to x = 4, y = 3)."""
    lines = ["solid four"]
    lines += facet_lines([(0.0, 0.0, 1.0), (2.0, 0.0, 1.0), (0.0, 2.0, 1.0), (2.0, 2.0, 3.0)])
    lines += facet_lines([(0.5, 0.5, 2.0), (2.5, 0.5, 2.0), (0.5, 2.5, 2.0)])
    lines += facet_lines([(1.0, 1.0, 0.5), (3.0, 1.0, 0.5), (4.0, 3.0, 0.5)])
    return joined(lines + ["endsolid four"])


def line_ends():
    """A small model whose lines end in CR, LF and CR LF by turns, with an
    upper-case keyword, tabs, and a vertex keyword followed at once by a tab;
    the last line has no end at all."""
    facets = quad((0.0, 0.0, 0.5), (2.0, 0.0, 1.0), (2.0, 1.5, 1.5), (0.0, 1.5, 1.0))
    peak = [(0.5, 0.25, 2.0), (1.75, 0.5, 2.5), (1.0, 1.25, 3.0)]
    lines = ["solid ends"]
    lines += facet_lines(facets[0])
    lines += facet_lines(facets[1], keyword="VERTEX")
    lines += ["\t" + line.strip() for line in facet_lines(peak, gap="\t")]
    lines.append("endsolid ends")
    return joined(lines[:-1], ["\r", "\n", "\r\n", "\r", "\r"]) + lines[-1].encode("ascii")


def pitch_fraction():
    """2 x 1.5 mm for a pitch of 0.33 mm, which is 13.2 grid units: 13 units
    are taken, and neither 80 nor 60 is a multiple of 13."""
    return joined(solid("fraction", quad((0.0, 0.0, 0.0), (2.0, 0.0, 1.0),
                                         (2.0, 1.5, 1.75), (0.0, 1.5, 0.75))))


def tiny():
    """A triangle of 0.1 mm around the origin, for a pitch of 1 mm: one grid
    point, at the lowest vertex (-0.05 mm is -1 grid unit, +0.05 mm is 2)."""
    return joined(solid("tiny", [[(-0.05, -0.05, 1.0), (0.05, -0.05, 1.25), (0.0, 0.05, 1.5)]]))


def ramp():
    """A 3.5 x 2 mm ramp rising 1.75 mm toward its back right corner, with a
    small raised triangle on it: the model of the case that writes every
    output format from one scan. Numbers as short as they can be written."""
    def facet(vertices):
        lines = [" facet normal 0 0 1", "  outer loop"]
        lines += ["   vertex " + " ".join("%g" % k for k in p) for p in vertices]
        return lines + ["  endloop", " endfacet"]
    lines = ["solid ramp"]
    for f in ([(-0.5, 0, 1), (3, 0, 1.5), (3, 2, 2.75)], [(-0.5, 0, 1), (3, 2, 2.75), (-0.5, 2, 0.25)],
              [(1, 0.5, 4), (2, 0.5, 3), (1.5, 1.5, 3.5)]):
        lines += facet(f)
    return joined(lines + ["endsolid ramp"])


MODELS = {
    "relief.stl": relief,
    "stop.stl": stop_model,
    "bad_number.stl": bad_number,
    "empty.stl": empty,
    "negative.stl": negative,
    "four_vertex.stl": four_vertex,
    "line_ends.stl": line_ends,
    "pitch_fraction.stl": pitch_fraction,
    "tiny.stl": tiny,
    "ramp.stl": ramp,
}


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "tests", "golden")
    os.makedirs(folder, exist_ok=True)
    for name, make in MODELS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(make())


if __name__ == "__main__":
    main()
