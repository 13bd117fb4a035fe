#!/usr/bin/env python3
"""The icons that make_icon.py writes show the picture compiled into the window.

  icons_test.py MAKE_ICON.PY COMMITTED.XPM

The XPM it writes is the committed one (no stale icon in the window); every
PNG decodes, with a decoder of its own here, to its size and, at 32 pixels
and at whole multiples of 32, to the XPM's pixels; the SVG's squares cover
every pixel of the XPM once, in its colour.
"""
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zlib
from pathlib import Path

failures = []


def check(ok, message):
    if not ok:
        failures.append(message)


def read_xpm(text):
    """The XPM's pixels as rows of "#RRGGBB" strings."""
    strings = re.findall(r'"([^"]*)"', text)
    width, height, colours, _ = map(int, strings[0].split())
    palette = {s[0]: s.split()[-1].upper() for s in strings[1:1 + colours]}
    return [[palette[ch] for ch in row] for row in strings[1 + colours:1 + colours + height]]


def read_png(data):
    """An 8-bit RGB PNG without interlace, every row filtered with "None"."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "no PNG signature"
    pos, chunks = 8, {}
    while pos < len(data):
        length = int.from_bytes(data[pos:pos + 4], "big")
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        crc = int.from_bytes(data[pos + 8 + length:pos + 12 + length], "big")
        assert zlib.crc32(kind + body) == crc, f"bad CRC in {kind}"
        chunks[kind] = chunks.get(kind, b"") + body
        pos += 12 + length
    width, height = int.from_bytes(chunks[b"IHDR"][:4], "big"), int.from_bytes(chunks[b"IHDR"][4:8], "big")
    assert chunks[b"IHDR"][8:] == bytes([8, 2, 0, 0, 0]), "not 8-bit RGB"
    raw = zlib.decompress(chunks[b"IDAT"])
    stride = 1 + 3 * width
    assert len(raw) == stride * height, "wrong amount of pixel data"
    rows = []
    for y in range(height):
        line = raw[y * stride:(y + 1) * stride]
        assert line[0] == 0, f"row {y} is filtered"
        rows.append(["#%02X%02X%02X" % tuple(line[1 + 3 * x:4 + 3 * x]) for x in range(width)])
    return rows


def svg_cells(text):
    """Which colour each unit square of the SVG gets, and how often."""
    cells = {}
    root = ET.fromstring(text)
    for path in root.iter("{http://www.w3.org/2000/svg}path"):
        for x, y, w in re.findall(r"M(\d+) (\d+)h(\d+)v1h-\3z", path.get("d")):
            for i in range(int(w)):
                cells.setdefault((int(x) + i, int(y)), []).append(path.get("fill").upper())
    return root, cells


def main(make_icon, committed_xpm):
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp)
        subprocess.run([sys.executable, make_icon, "--xpm", str(out / "pelmoro.xpm")], check=True)
        subprocess.run([sys.executable, make_icon, "--hicolor", str(out / "hicolor")], check=True)
        committed = Path(committed_xpm).read_text(encoding="ascii")
        check((out / "pelmoro.xpm").read_text(encoding="ascii") == committed,
              f"{committed_xpm} is not what make_icon.py draws: run it in app/icon/")
        picture = read_xpm(committed)

        for size in (16, 32, 48, 64, 128, 256):
            try:
                rows = read_png((out / "hicolor" / f"{size}x{size}" / "apps" / "pelmoro.png").read_bytes())
            except (AssertionError, FileNotFoundError, KeyError, zlib.error) as e:
                check(False, f"{size}x{size} PNG: {e}")
                continue
            check(len(rows) == size and all(len(r) == size for r in rows), f"{size}x{size} PNG has another size")
            if size % 32 == 0:
                k = size // 32
                check(rows == [[picture[y // k][x // k] for x in range(size)] for y in range(size)],
                      f"{size}x{size} PNG does not show the XPM's pixels")

        root, cells = svg_cells((out / "hicolor" / "scalable" / "apps" / "pelmoro.svg").read_text(encoding="ascii"))
        check(root.get("viewBox") == "0 0 32 32", "the SVG's viewBox is not the 32 x 32 picture")
        for y, row in enumerate(picture):
            for x, colour in enumerate(row):
                got = cells.get((x, y), [])
                check(got == [colour], f"SVG pixel {x},{y} is covered {len(got)} times, first in "
                      f"{got[:1]}, the XPM's is {colour}")
    for f in failures[:20]:
        print("FAIL:", f, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
