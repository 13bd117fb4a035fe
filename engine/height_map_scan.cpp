#include "engine/height_map_scan.h"

#include <thread>

#include "engine/coverage.h"
#include "engine/row_pipeline.h"
#include "engine/row_sweep.h"
#include "engine/scan_row.h"

namespace pelmoro {

namespace {

// Height of one grid point: the highest covering plane, or while the driver
// wants the first covering triangle, that one's; never below z min. The
// mode is read afresh at every covering triangle.
std::int32_t PointHeight(const GeometryStore& store, std::int32_t count, std::int32_t x,
                         std::int32_t y, RunDriver& driver) {
  std::int32_t h = store.bounds().z_min;
  for (std::int32_t i = 0; i < count; ++i) {
    if (!TriangleCovers(store, i, x, y)) continue;
    const std::int32_t z = TriangleHeightAt(store, i, x, y);
    if (z > h) h = z;
    if (driver.FirstCoveringWanted()) break;
  }
  return h;
}

// The plain scan's rows: every triangle at every point, in table order.
// The mode is read from the driver at every covering triangle, as the scan
// always has; no messages are handled within a row, so it cannot change
// there.
class ReferenceRows {
 public:
  ReferenceRows(const GeometryStore& store, int pitch, std::int32_t count, RunDriver& driver,
                const RowSink& sink)
      : store_(store), lattice_(LatticeOver(store.bounds(), pitch)), count_(count),
        driver_(driver), formatters_(sink.formatters()) {
    row_.heights.resize(static_cast<std::size_t>(lattice_.columns));
  }
  const Lattice& lattice() const { return lattice_; }
  const ScanRow& Row(std::int64_t row, bool) {
    const auto y = static_cast<std::int32_t>(lattice_.Y(row));
    for (std::size_t j = 0; j < row_.heights.size(); ++j) {
      const auto x = static_cast<std::int32_t>(lattice_.X(static_cast<std::int64_t>(j)));
      row_.heights[j] = PointHeight(store_, count_, x, y, driver_);
    }
    row_.row = row;
    FormatScanRow(lattice_, formatters_, row_);
    return row_;
  }
  void Done(std::int64_t) {}

 private:
  const GeometryStore& store_;
  Lattice lattice_;
  std::int32_t count_;
  RunDriver& driver_;
  std::span<const RowFormatter* const> formatters_;
  ScanRow row_;
};

// One row after another on the calling thread.
class InlineRows {
 public:
  InlineRows(const ScanPlan& plan, const RowSink& sink)
      : plan_(plan), formatters_(sink.formatters()), sweeper_(plan) {
    row_.heights.resize(static_cast<std::size_t>(plan.lattice.columns));
  }
  const Lattice& lattice() const { return plan_.lattice; }
  const ScanRow& Row(std::int64_t row, bool first_covering) {
    sweeper_.ComputeRow(row, first_covering, row_.heights);
    row_.row = row;
    FormatScanRow(plan_.lattice, formatters_, row_);
    return row_;
  }
  void Done(std::int64_t) {}

 private:
  const ScanPlan& plan_;
  std::span<const RowFormatter* const> formatters_;
  RowSweeper sweeper_;
  ScanRow row_;
};

// The row loop that every way of computing rows shares: write, progress,
// pending messages, stop check, once per row. The mode is read before each
// row, after the messages that may have changed it.
template <typename Rows>
void DriveRows(RunDriver& driver, RowSink& sink, Rows& rows) {
  const Lattice& lattice = rows.lattice();
  std::int64_t written = 0;
  while (written < lattice.rows) {
    const ScanRow& row = rows.Row(written, driver.FirstCoveringWanted());
    sink.WritePiece(row.piece(), row.texts);
    rows.Done(written);
    ++written;
    driver.SetProgress(ScanProgress(lattice.Y(written), lattice.y_max), written);
    driver.ProcessMessages();
    if (driver.StopRequested()) break;
  }
  driver.SetProgress(0, written);
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
  DriveRows(driver, sink, rows);
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
    DriveRows(driver, sink, rows);
    return;
  }
  RowPipeline rows(plan, sink.formatters(), threads, driver.FirstCoveringWanted());
  DriveRows(driver, sink, rows);
}

}  // namespace pelmoro
