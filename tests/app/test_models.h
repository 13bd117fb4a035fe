// Test models made on the spot, and the command line as the reference for
// the window's output.
#pragma once

#include <QByteArray>
#include <QString>

namespace pelmoro::testing {

// The one-triangle model of the height-map format's worked example:
// (0.1, 0.1, 1), (2.1, 0.1, 1), (0.1, 2.1, 1) mm.
QByteArray OneTriangleStl();

// Its height map at pitch 1 mm, "Surface" off: 19 lines, 114 bytes.
QByteArray OneTriangleHzm();

// A hilly relief over cells x cells squares of size_mm, two facets per
// square, in an ASCII STL solid; only the first max_triangles facets when
// max_triangles >= 0. Overlapping hills make "Surface" matter.
QByteArray ReliefStl(int cells, double size_mm, int max_triangles = -1);

// `count` triangles stacked one above the other, 5,000 mm wide and 2 mm
// deep, each a little higher than the last (as tools/make_wide_rows.py
// writes them), in an ASCII STL solid: every row is slow, at 0.05 mm some
// seconds, and the whole scan minutes.
QByteArray StackedWideTrianglesStl(int count);

// Writes bytes to a file, replacing it; returns the path.
QString WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

// Runs stl2hzm on input with the pitch text (C locale) and "Surface" as
// given, writing output; returns its exit code (-1 when it did not run).
int RunStl2hzm(const QString& input, const QString& output, const QString& pitch, bool surface);

// The header and the first `rows` rows of a height map (through the rows'
// end lines), or the whole file when it has fewer.
QByteArray HeaderAndRows(const QByteArray& hzm, int rows);

// The number of rows in a height map: its "S" lines less the header's.
int RowsOf(const QByteArray& hzm);

}  // namespace pelmoro::testing
