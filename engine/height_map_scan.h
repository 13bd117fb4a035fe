// The raster scan that turns the geometry store into height-map rows.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "engine/run_driver.h"
#include "foundation/geometry_store.h"

namespace pelmoro {

// Where the scan's rows go. FormatRow may be called from any thread;
// WriteRow is called on the thread that drives the scan, in row order.
class RowSink {
 public:
  virtual ~RowSink() = default;
  // Appends the text of one row to out: one point line per height, x from
  // x0 in steps of pitch, then the row-end line.
  virtual void FormatRow(std::int32_t y, std::int32_t x0, int pitch,
                         std::span<const std::int32_t> heights,
                         std::string& out) const = 0;
  // Writes formatted rows; raises the I/O error of a failed write.
  virtual void WriteRow(std::string_view text) = 0;
};

// Points per row and rows of a complete scan over the bounds.
std::int64_t ColumnCount(const ModelBounds& bounds, int pitch);
std::int64_t RowCount(const ModelBounds& bounds, int pitch);

// The progress shown after a row: TruncateReal(next_y / y_max * 100) in
// extended precision, kept within the int range.
int ScanProgress(std::int64_t next_y, std::int32_t y_max);

// How the scan computes its rows; the output is the same in every case.
struct ScanOptions {
  int threads = 0;         // worker threads computing rows ahead; 0: one per core
  bool reference = false;  // the plain scan: every triangle at every point
};

// Scans rows y = y min, y min + pitch, ... <= y max and in each the points
// x = x min, ... <= x max (grid units). A point's height is the highest
// covering triangle's plane height or, while the driver's Surface state is
// on, the first covering triangle's; never below z min. After every row:
// progress TruncateReal(y / y max * 100) for the next row's y, pending
// messages, and the stop check. Progress returns to 0 at the end.
// pitch: 1..255 grid units; count: triangles 0..count-1 of the store.
// Rows are computed by a sweep over the triangles crossing each row, ahead
// of time on worker threads when threads allow; rows computed with a
// Surface state that has changed since are computed again.
void ScanHeightMap(const GeometryStore& store, int pitch, std::int32_t count,
                   RunDriver& driver, RowSink& sink, const ScanOptions& options = {});

// The plain scan: asks every triangle at every grid point, in table order,
// reading Surface at every covering triangle. The reference for the sweep.
void ScanHeightMapReference(const GeometryStore& store, int pitch, std::int32_t count,
                            RunDriver& driver, RowSink& sink);

}  // namespace pelmoro
