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

std::int32_t ColumnCount(const ModelBounds& b, int pitch) {
  return static_cast<std::int32_t>((std::int64_t{b.x_max} - b.x_min) / pitch + 1);
}

std::int32_t RowCount(const ModelBounds& b, int pitch) {
  return static_cast<std::int32_t>((std::int64_t{b.y_max} - b.y_min) / pitch + 1);
}

void ScanHeightMapReference(const GeometryStore& store, int pitch, std::int32_t count,
                            RunDriver& driver, RowSink& sink) {
  const ModelBounds& b = store.bounds();
  std::vector<std::int32_t> heights(static_cast<std::size_t>(ColumnCount(b, pitch)));
  std::string text;
  // Coordinates advance in 64 bits, so a lattice near the end of the 32-bit
  // range ends instead of wrapping around.
  for (std::int64_t y = b.y_min; y <= b.y_max;) {
    std::size_t column = 0;
    for (std::int64_t x = b.x_min; x <= b.x_max; x += pitch) {
      heights[column++] = PointHeight(store, count, static_cast<std::int32_t>(x),
                                      static_cast<std::int32_t>(y), driver);
    }
    text.clear();
    sink.FormatRow(static_cast<std::int32_t>(y), b.x_min, pitch, heights, text);
    sink.WriteRow(text);
    y += pitch;
    driver.SetProgress(ScanProgress(y, b.y_max));
    driver.ProcessMessages();
    if (driver.StopRequested()) break;
  }
  driver.SetProgress(0);
}

namespace {

// One row after another on the calling thread.
class InlineRows {
 public:
  InlineRows(const ScanPlan& plan, const RowSink& sink)
      : plan_(plan), sink_(sink), sweeper_(plan), heights_(static_cast<std::size_t>(plan.columns)) {}
  const std::string& Row(std::int64_t row, bool surface) {
    const std::int64_t y = plan_.store.bounds().y_min + row * plan_.pitch;
    sweeper_.ComputeRow(y, surface, heights_);
    text_.clear();
    sink_.FormatRow(static_cast<std::int32_t>(y), static_cast<std::int32_t>(plan_.x0), plan_.pitch,
                    heights_, text_);
    return text_;
  }
  void Done(std::int64_t) {}

 private:
  const ScanPlan& plan_;
  const RowSink& sink_;
  RowSweeper sweeper_;
  std::vector<std::int32_t> heights_;
  std::string text_;
};

// The row loop that every way of computing rows shares: write, progress,
// pending messages, stop check, once per row. Surface is read before each
// row, after the messages that may have changed it.
template <typename Rows>
void DriveRows(const ModelBounds& b, int pitch, RunDriver& driver, RowSink& sink, Rows& rows) {
  const std::int64_t row_count = (std::int64_t{b.y_max} - b.y_min) / pitch + 1;
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
