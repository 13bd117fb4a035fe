#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into tests/fuzz/corpus/<target>/
(seed-*; inputs that once crashed a target are kept beside them under names
of their own). Run it again after changing a seed, and commit the result.

    python3 tools/make_fuzz_corpus.py
"""
import os
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fuzz", "corpus")


def stl(triangles, end="\n", case=str.lower):
    lines = ["solid seed"]
    for tri in triangles:
        lines += ["  facet normal 0 0 1", "    outer loop"]
        lines += ["      %s %s %s %s" % ((case("vertex"),) + tuple(v)) for v in tri]
        lines += ["    endloop", "  endfacet"]
    lines.append("endsolid seed")
    return (end.join(lines) + end).encode()


def binary_stl(triangles, count=None):
    """A binary STL file of the triangles (vertices as float32)."""
    data = b"seed binary".ljust(80, b" ")
    data += struct.pack("<I", len(triangles) if count is None else count)
    for tri in triangles:
        data += struct.pack("<3f", 0, 0, 1)
        for v in tri:
            data += struct.pack("<3f", *(float(c) for c in v))
        data += b"\0\0"
    return data


TENT = [
    [("0", "0", "0"), ("10", "0", "0"), ("5", "8.5", "3.25")],
    [("0", "0", "0"), ("5", "8.5", "3.25"), ("-2.5", "4", "1e-1")],
]
STEEP = [[("1", "1", "-2"), ("9", "2", "6"), ("4", "9.975", "0.025")]]

SEEDS = {
    "parse_real": {
        "integer": b"42",
        "fraction": b"-12.375",
        "comma": b"0,5",
        "exponent": b"  +3.25E-7  ",
        "no_digits_after_point": b"7.",
        "leading_point": b".5e+2",
        "long_significand": b"123456789012345678901234567890.000000000001",
        "huge": b"1e4932",
        "tiny": b"4e-4951",
        "overflow": b"1e5000",
        "not_a_number": b"1.2.3",
        "zero_byte": b"12\x0034",
    },
    "line_reader": {
        "mixed_ends": b"\x00\x00a\nbb\r\ncc\rdd",
        "ctrl_z": b"\x01\x05line\n\x1arest\r\n",
        "long_lines": b"\x02\xaa" + b"x" * 300 + b"\r\n" + b"y" * 130 + b"\r" + b"\n\n",
        "cr_at_block_edge": b"\x00\x0f" + b"z" * 127 + b"\r\nnext\r",
        "empty_lines": b"\x03\x00\r\n\r\n\n\r\r",
    },
    # First byte: the reader (% 3: ASCII, binary, either) and the unit (/ 3).
    "stl_reader": {
        "tent": b"\x00" + stl(TENT),
        "crlf_upper_case_in_inches": b"\x09" + stl(TENT, end="\r\n", case=str.upper),
        "lone_cr": b"\x00" + stl(STEEP, end="\r"),
        "incomplete_triangle": b"\x00" + stl(TENT)[:-40],
        "bad_number": b"\x00vertex 1 2 x\n",
        "fourth_field": b"\x00vertex 1 2 3 4\nvertex 0 0 0\nvertex 1 0 0\n",
        "out_of_range": b"\x00vertex 1e8 0 0\nvertex 0 0 0\nvertex 1 0 0\n",
        "no_blank": b"\x00vertex1 2 3\nVeRtEx\t4\t5\t6\nvertex 7 8 9\x1a\n",
        "binary_tent": b"\x01" + binary_stl(TENT),
        "binary_out_of_range": b"\x01" + binary_stl([[("1e9", "0", "0")] * 3]),
        "binary_nan": b"\x01" + binary_stl([[("nan", "0", "0")] * 3]),
        "either_ascii": b"\x02" + stl(STEEP),
        "either_binary_in_cm": b"\x05" + binary_stl(TENT + STEEP),
        "either_truncated_binary": b"\x02" + binary_stl(TENT, count=3),
        "either_no_stl": b"\x02" + bytes(range(256)),
    },
    "conversion": {
        "tent_highest": bytes([0, 0, 0, 0]) + stl(TENT),
        "tent_surface_two_threads": bytes([20, 3, 0, 0]) + stl(TENT),
        "switch_while_scanning": bytes([5, 4, 5, 0]) + stl(TENT + STEEP),
        "stop_while_scanning": bytes([60, 0, 0, 6]) + stl(STEEP),
        "stop_while_reading": bytes([0, 1, 0, 1]) + stl(TENT),
        "refused_model": bytes([7, 2, 0, 0]) + b"vertex 1 2 three\n",
        "binary_model": bytes([1, 2, 2, 0]) + binary_stl(TENT + STEEP),
        "empty_model": bytes([215, 5, 0, 0]),
    },
}


def main():
    for target, seeds in SEEDS.items():
        folder = os.path.join(ROOT, target)
        os.makedirs(folder, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(folder, "seed-" + name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
