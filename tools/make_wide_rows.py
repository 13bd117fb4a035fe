#!/usr/bin/env python3
"""Writes a model whose every row is slow to scan: a binary STL.

    make_wide_rows.py OUTPUT.stl [TRIANGLES [WIDTH_MM [DEPTH_MM]]]

TRIANGLES (default 6000) triangles stacked one above the other, each
WIDTH_MM (default 5000) wide and DEPTH_MM (default 2) deep, each a little
higher than the one before it in file order, so that no point of a row is
settled before the last triangle over it: at a pitch of 0.025 mm a row has
200,001 points and every one of them is asked of every triangle. The
stop tests and benchmarks use it to see how soon a run obeys a stop in
the middle of a row. The same bytes on every run.
"""
import struct
import sys


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__)
    out_path = argv[1]
    count = int(argv[2]) if len(argv) > 2 else 6000
    width = float(argv[3]) if len(argv) > 3 else 5000.0
    depth = float(argv[4]) if len(argv) > 4 else 2.0
    with open(out_path, "wb") as out:
        out.write(b"stacked wide triangles, written by tools/make_wide_rows.py".ljust(80, b"\0"))
        out.write(struct.pack("<I", count))
        for k in range(count):
            z = 1.0 + k * 0.01
            # A right triangle whose long edges run along the lattice's
            # rows and columns: every row crosses it whole.
            a, b, c = (0.0, 0.0, z), (width, 0.0, z), (0.0, depth, z)
            out.write(struct.pack("<12fH", 0, 0, 1, *a, *b, *c, 0))


if __name__ == "__main__":
    main(sys.argv)
