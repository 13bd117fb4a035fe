#include "engine/height_map_scan.h"

#include <algorithm>
#include <climits>
#include <thread>
#include <vector>

#include "engine/coverage.h"
#include "engine/row_pipeline.h"
#include "engine/row_sweep.h"
#include "foundation/real.h"

namespace pelmoro {

namespace {

// Height of one grid point: the highest covering plane, or with Surface on
// the first covering triangle in table order; never below z min. Surface
// is read afresh at every covering triangle.
std::int32_t PointHeight(const GeometryStore& store, std::int32_t count, std::int32_t x,
                         std::int32_t y, RunDriver& driver) {
  std::int32_t h = store.bounds().z_min;
  for (std::int32_t i = 0; i < count; ++i) {
    if (!TriangleCovers(store, i, x, y)) continue;
    const std::int32_t z = TriangleHeightAt(store, i, x, y);
    if (z > h) h = z;
    if (driver.SurfaceChecked()) break;
  }
  return h;
}

}  // namespace

int ScanProgress(std::int64_t next_y, std::int32_t y_max) {
  // y max is never negative; at 0 the quotient has no value, and the bar
  // shows full once the rows have passed y = 0, empty before.
  if (y_max == 0) return next_y > 0 ? 100 : 0;
  const std::int64_t v =
      TruncateReal(static_cast<Real>(next_y) / static_cast<Real>(y_max) * 100);
  return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

std::int64_t ColumnCount(const ModelBounds& b, int pitch) {
  return (std::int64_t{b.x_max} - b.x_min) / pitch + 1;
}

std::int64_t RowCount(const ModelBounds& b, int pitch) {
  return (std::int64_t{b.y_max} - b.y_min) / pitch + 1;
}

namespace {

// The plain scan's rows: every triangle at every point, in table order.
// Surface is read from the driver at every covering triangle, as the scan
// always has; no messages are handled within a row, so it cannot change
// there.
class ReferenceRows {
 public:
  ReferenceRows(const GeometryStore& store, int pitch, std::int32_t count, RunDriver& driver,
                const RowSink& sink)
      : store_(store), pitch_(pitch), count_(count), driver_(driver), sink_(sink),
        heights_(static_cast<std::size_t>(ColumnCount(store.bounds(), pitch))) {}
  const std::string& Row(std::int64_t row, bool) {
    const ModelBounds& b = store_.bounds();
    const std::int64_t y = b.y_min + row * pitch_;
    for (std::size_t j = 0; j < heights_.size(); ++j) {
      const std::int64_t x = b.x_min + static_cast<std::int64_t>(j) * pitch_;
      heights_[j] = PointHeight(store_, count_, static_cast<std::int32_t>(x),
                                static_cast<std::int32_t>(y), driver_);
    }
    text_.clear();
    sink_.FormatRow(static_cast<std::int32_t>(y), b.x_min, pitch_, heights_, text_);
    return text_;
  }
  void Done(std::int64_t) {}

 private:
  const GeometryStore& store_;
  int pitch_;
  std::int32_t count_;
  RunDriver& driver_;
  const RowSink& sink_;
  std::vector<std::int32_t> heights_;
  std::string text_;
};

// One row after another on the calling thread.
class InlineRows {
 public:
  InlineRows(const ScanPlan& plan, const RowSink& sink) : sink_(sink), sweeper_(plan) {}
  const std::string& Row(std::int64_t row, bool surface) {
    text_.clear();
    sweeper_.FormatRow(row, surface, sink_, text_);
    return text_;
  }
  void Done(std::int64_t) {}

 private:
  const RowSink& sink_;
  RowSweeper sweeper_;
  std::string text_;
};

// The row loop that every way of computing rows shares: write, progress,
// pending messages, stop check, once per row. Surface is read before each
// row, after the messages that may have changed it.
template <typename Rows>
void DriveRows(const ModelBounds& b, int pitch, RunDriver& driver, RowSink& sink, Rows& rows) {
  // Rows are counted in 64 bits, so a lattice near the end of the 32-bit
  // range ends instead of wrapping around.
  const std::int64_t row_count = RowCount(b, pitch);
  for (std::int64_t row = 0; row < row_count; ++row) {
    sink.WriteRow(rows.Row(row, driver.SurfaceChecked()));
    rows.Done(row);
    driver.SetProgress(ScanProgress(b.y_min + (row + 1) * pitch, b.y_max));
    driver.ProcessMessages();
    if (driver.StopRequested()) break;
  }
  driver.SetProgress(0);
}

int ThreadsFor(const ScanOptions& options) {
  if (options.threads > 0) return options.threads;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(cores);
}

}  // namespace

void ScanHeightMapReference(const GeometryStore& store, int pitch, std::int32_t count,
                            RunDriver& driver, RowSink& sink) {
  ReferenceRows rows(store, pitch, count, driver, sink);
  DriveRows(store.bounds(), pitch, driver, sink, rows);
}

void ScanHeightMap(const GeometryStore& store, int pitch, std::int32_t count, RunDriver& driver,
                   RowSink& sink, const ScanOptions& options) {
  if (options.reference) {
    ScanHeightMapReference(store, pitch, count, driver, sink);
    return;
  }
  const ScanPlan plan(store, pitch, count);
  const int threads = ThreadsFor(options);
  if (threads <= 1) {
    InlineRows rows(plan, sink);
    DriveRows(store.bounds(), pitch, driver, sink, rows);
    return;
  }
  RowPipeline rows(plan, sink, threads, driver.SurfaceChecked());
  DriveRows(store.bounds(), pitch, driver, sink, rows);
}

}  // namespace pelmoro
