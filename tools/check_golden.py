#!/usr/bin/env python3
"""Checks the expected files of tests/golden/ against the rules of the height
map, computed here without stl2hzm: exact fractions where the program uses
extended precision, a closed-triangle coverage test where it sums areas.
Run it after regenerating the expected files, before committing them.

    python3 tools/check_golden.py [FOLDER]

The rules: vertex lines are grouped by threes in file order; a coordinate
in millimetres becomes TruncateTowardZero(mm * 40 + 0.5) grid units; the
bounds start at 0 and widen with every vertex; the grid runs from x min and
y min in steps of the pitch (millimetres * 40, the fraction dropped) up to
x max and y max; a point takes the highest covering triangle's plane height
truncated toward zero (or with --surface the first covering triangle's),
and never less than z min. Triangles without area in plan cover nothing.

Cases that stop with Ctrl-C are checked against the complete map: their map
must end with the row that holds byte WRITE_BUFFER - 1 of it (the test sends
Ctrl-C while stl2hzm's first write of a buffer is held up).
"""
import os
import re
import struct
import sys
from fractions import Fraction

HEADER = "VERSION=6\r\nT\r\nO\r\nO\r\nL\r\n1\r\nS\r\n"
WRITE_BUFFER = 64 * 1024  # kTextWriteBuffer in foundation/text_file.h
NUMBER = re.compile(r"[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?")


class BadNumber(Exception):
    pass


def trunc(q):
    """Truncation toward zero of a fraction."""
    return int(q)  # int() of a Fraction truncates toward zero


def grid_units(text):
    if not NUMBER.fullmatch(text):
        raise BadNumber(text)
    return trunc(Fraction(text) * 40 + Fraction(1, 2))


def is_blank(c):
    return ord(c) <= 32


def strip_leading(s):
    i = 0
    while i < len(s) and is_blank(s[i]):
        i += 1
    return s[i:]


def next_field(rest):
    end = 0
    while end < len(rest) and not is_blank(rest[end]):
        end += 1
    return rest[:end], strip_leading(rest[end:])


def read_binary_vertices(data):
    """The vertices of a binary STL, float32 values exact in grid units."""
    count = struct.unpack_from("<I", data, 80)[0]
    vertices = []
    for i in range(count):
        values = struct.unpack_from("<9f", data, 84 + 50 * i + 12)
        for k in range(3):
            vertices.append(tuple(trunc(Fraction(v) * 40 + Fraction(1, 2)) for v in values[3 * k:3 * k + 3]))
    return vertices


def read_vertices(data):
    """Every vertex line's (x, y, z) in grid units, in file order; a file of
    exactly 84 + 50 n bytes without facet lines is a binary STL."""
    if len(data) >= 84 and len(data) == 84 + 50 * struct.unpack_from("<I", data, 80)[0] \
            and b"facet" not in data[:1024]:
        return read_binary_vertices(data)
    text = data.decode("latin-1")
    vertices = []
    for line in re.split(r"\r\n|\n|\r", text):
        line = strip_leading(line)
        if line[:6].lower() != "vertex":
            continue
        rest = strip_leading(line[6:])
        x, rest = next_field(rest)
        y, rest = next_field(rest)
        z = rest.rstrip("".join(chr(c) for c in range(33)))
        vertices.append((grid_units(x), grid_units(y), grid_units(z)))
    return vertices


def cross(o, a, b):
    return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0])


def covers(t, x, y):
    """Closed coverage in plan; a triangle without area covers nothing."""
    a, b, c = t
    if cross(a, b, c) == 0:
        return False
    p = (x, y)
    s = [cross(a, b, p), cross(b, c, p), cross(c, a, p)]
    return all(k >= 0 for k in s) or all(k <= 0 for k in s)


def plane_height(t, x, y):
    (x0, y0, z0), (x1, y1, z1), (x2, y2, z2) = t
    d = (x1 - x0) * (y2 - y0) - (y1 - y0) * (x2 - x0)
    nx = (y1 - y0) * (z2 - z0) - (z1 - z0) * (y2 - y0)
    ny = (z1 - z0) * (x2 - x0) - (x1 - x0) * (z2 - z0)
    return trunc(z1 + Fraction(nx * (x1 - x) + ny * (y1 - y), d))


def height_map(data, pitch, surface):
    """The whole map as text, and (columns, rows, triangles)."""
    vertices = read_vertices(data)
    triangles = [vertices[i:i + 3] for i in range(0, len(vertices) - 2, 3)]
    xs = [v[0] for v in vertices] + [0]
    ys = [v[1] for v in vertices] + [0]
    zs = [v[2] for v in vertices] + [0]
    x_min, x_max, y_min, y_max, z_min = min(xs), max(xs), min(ys), max(ys), min(zs)
    out = [HEADER]
    columns = (x_max - x_min) // pitch + 1
    rows = (y_max - y_min) // pitch + 1
    for y in range(y_min, y_max + 1, pitch):
        for x in range(x_min, x_max + 1, pitch):
            h = z_min
            for t in triangles:
                if covers(t, x, y):
                    h = max(h, plane_height(t, x, y))
                    if surface:
                        break
            out.append("%d,%d,%d\r\n" % (x, y, h))
        out.append("S\r\n")
    return "".join(out).encode("ascii"), (columns, rows, len(triangles))


def read_cases(folder):
    cases = []
    with open(os.path.join(folder, "cases.txt")) as f:
        for line in f:
            fields = line.split()
            if fields and not fields[0].startswith("#"):
                cases.append((fields[0], fields[1], int(fields[2]), fields[3], fields[4:]))
    return cases


def read(path):
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read()


def check_case(folder, name, model, exit_code, how, args):
    """Returns a line describing what was checked; raises AssertionError."""
    pitch_text = args[args.index("--pitch") + 1] if "--pitch" in args else "0.1"
    pitch = trunc(Fraction(pitch_text) * 40)
    surface = "--surface" in args
    data = read(os.path.join(folder, model))
    expected = read(os.path.join(folder, name + ".hzm"))
    err = (read(os.path.join(folder, name + ".err")) or b"").decode("utf-8")
    try:
        full, (columns, rows, triangles) = height_map(data, pitch, surface)
    except BadNumber as e:
        assert exit_code == 1, "the model has a bad number, so the run must fail"
        assert expected is None, "a failed run leaves no height map"
        assert re.match(r"%s:\d+: '%s' " % (re.escape(model), re.escape(e.args[0])), err) \
            and err.endswith("\n"), err
        return "fails on '%s' with no map" % e.args[0]
    if how == "stop":
        assert exit_code == 130 and err == "Break !\n", (exit_code, err)
        end = full.index(b"S\r\n", WRITE_BUFFER - 3) + 3 if len(full) >= WRITE_BUFFER else len(full)
        assert expected == full[:end], "the stopped map is not the complete one up to its row"
        kept = expected[len(HEADER):].count(b"S\r\n")
        return "stops after %d of %d rows (%d bytes)" % (kept, rows, len(expected))
    assert exit_code == 0 and err == "", (exit_code, err)
    assert expected == full, "differs from the rules"
    heights = [int(line.split(b",")[2]) for line in full.split(b"\r\n") if line.count(b",") == 2]
    return "%d x %d points, %d triangles, z %d..%d" % (
        columns, rows, triangles, min(heights), max(heights))


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "tests", "golden")
    failed = 0
    maps = {}
    for name, model, exit_code, how, args in read_cases(folder):
        try:
            print("ok   %-16s %s" % (name, check_case(folder, name, model, exit_code, how, args)))
        except AssertionError as e:
            print("FAIL %-16s %s" % (name, e))
            failed += 1
        maps.setdefault(model, set()).add(read(os.path.join(folder, name + ".hzm")))
    for model, found in sorted(maps.items()):
        if len(found) == 1 and len([1 for c in read_cases(folder) if c[1] == model]) > 1:
            print("FAIL %s gives the same map in every case" % model)
            failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
