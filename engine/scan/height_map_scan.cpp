#include "engine/scan/height_map_scan.h"

#include <climits>

#include "engine/scan/coverage.h"
#include "engine/scan/row_pipeline.h"
#include "engine/scan/row_sweep.h"
#include "engine/scan/scan_row.h"
#include "engine/worker_threads.h"
#include "foundation/assert.h"

namespace pelmoro {

namespace {

// Height of one grid point: the highest covering plane, or while the driver
// wants the first covering triangle, that one's; never below z min. From
// below: the lowest, never above `floor`, z max. The mode is read afresh at
// every covering triangle.
std::int32_t PointHeight(const GeometryStore& store, std::int32_t count, std::int32_t x,
                         std::int32_t y, RunDriver& driver, ScanSide side, std::int32_t floor) {
  std::int32_t h = floor;
  for (std::int32_t i = 0; i < count; ++i) {
    if (!TriangleCovers(store, i, x, y)) continue;
    const std::int32_t z = TriangleHeightAt(store, i, x, y);
    if (side == ScanSide::kTop ? z > h : z < h) h = z;
    if (driver.FirstCoveringWanted()) break;
  }
  return h;
}

// The plain scan's pieces: every triangle at every point, in table order.
// The mode is read from the driver at every covering triangle, as the scan
// always has; the messages handled within a row (while the poll asks the
// driver) never change it there, as the driver reads it afresh only at a
// row's start.
class ReferenceRows {
 public:
  ReferenceRows(const GeometryStore& store, const Lattice& lattice, std::int32_t count,
                RunDriver& driver, const RowSink& sink, std::int64_t piece_columns,
                DriverPoll& poll, ScanSide side)
      : store_(store),
        lattice_(lattice),
        layout_(lattice_, piece_columns),
        count_(count),
        side_(side),
        floor_(UncoveredHeight(store, count, side)),
        driver_(driver),
        formatters_(sink.formatters()),
        poll_(poll) {}
  const Lattice& lattice() const { return lattice_; }
  const PieceLayout& layout() const { return layout_; }
  const ScanRow* Piece(std::int64_t unit, bool) {
    piece_.Place(layout_, unit);
    const auto y = static_cast<std::int32_t>(lattice_.Y(piece_.where.row));
    SweepCancel cancel(&poll_);
    for (std::size_t k = 0; k < piece_.heights.size(); ++k) {
      const std::int64_t column = piece_.where.first_column + static_cast<std::int64_t>(k);
      const auto x = static_cast<std::int32_t>(lattice_.X(column));
      piece_.heights[k] = PointHeight(store_, count_, x, y, driver_, side_, floor_);
      // Every triangle asked counts as a point of work.
      if (cancel.Count(std::int64_t{count_} + 1)) return nullptr;
    }
    FormatScanRow(lattice_, formatters_, piece_);
    return &piece_;
  }
  void Done(std::int64_t) {}

 private:
  const GeometryStore& store_;
  Lattice lattice_;
  PieceLayout layout_;
  std::int32_t count_;
  ScanSide side_;
  std::int32_t floor_;  // the height of a point no triangle covers
  RunDriver& driver_;
  std::span<const RowFormatter* const> formatters_;
  DriverPoll& poll_;
  ScanRow piece_;
};

// One piece after another on the calling thread.
class InlineRows {
 public:
  InlineRows(const ScanPlan& plan, const RowSink& sink, DriverPoll& poll)
      : plan_(plan), formatters_(sink.formatters()), sweeper_(plan), poll_(poll) {}
  const Lattice& lattice() const { return plan_.lattice; }
  const PieceLayout& layout() const { return plan_.layout; }
  const ScanRow* Piece(std::int64_t unit, bool first_covering) {
    piece_.Place(plan_.layout, unit);
    SweepCancel cancel(&poll_);
    sweeper_.ComputeRow(piece_.where.row, SweepModeFor(first_covering), piece_.where.first_column,
                        piece_.heights, &cancel);
    if (cancel.stopped()) return nullptr;
    FormatScanRow(plan_.lattice, formatters_, piece_);
    return &piece_;
  }
  void Done(std::int64_t) {}

 private:
  const ScanPlan& plan_;
  std::span<const RowFormatter* const> formatters_;
  RowSweeper sweeper_;
  DriverPoll& poll_;
  ScanRow piece_;
};

// Writes the pieces of lattice row `row`; false when a stop came first
// (while a piece was computed, or between two pieces), and then the sink
// has dropped the pieces of the row it took.
template <typename Rows>
bool DriveRow(RowSink& sink, Rows& rows, DriverPoll& poll, std::int64_t row, bool first_covering) {
  const std::int64_t per_row = rows.layout().per_row;
  for (std::int64_t unit = row * per_row; unit < (row + 1) * per_row; ++unit) {
    const ScanRow* piece = rows.Piece(unit, first_covering);
    const bool stop = piece == nullptr || (unit > row * per_row && poll.Poll());
    if (stop) {
      if (unit > row * per_row) sink.DropPartialRow();
      return false;
    }
    sink.WritePiece(piece->piece(), piece->texts);
    rows.Done(unit);
  }
  return true;
}

// The row loop that every way of computing rows shares: its pieces written,
// then progress, pending messages and the stop check, once per row. The
// mode is read before each row, after the messages that may have changed
// it. Within a row the poll asks the driver every few milliseconds, so a
// stop never waits for the row's end.
template <typename Rows>
void DriveRows(RunDriver& driver, RowSink& sink, Rows& rows, DriverPoll& poll) {
  const Lattice& lattice = rows.lattice();
  const std::int64_t per_row = rows.layout().per_row;
  // The rows' pieces cut this lattice, so the units cover it exactly.
  PELMORO_ASSERT(lattice.rows >= 1 && per_row >= 1 && rows.layout().columns == lattice.columns &&
                 rows.layout().units == lattice.rows * per_row);
  std::int64_t written = 0;
  while (written < lattice.rows) {
    if (!DriveRow(sink, rows, poll, written, driver.FirstCoveringWanted())) break;
    ++written;
    poll.RowWritten();
    driver.SetProgress(LatticeProgress(lattice, written), written);
    driver.ProcessMessages();
    const bool stop = driver.StopRequested();
    poll.Asked(stop);
    if (stop) break;
  }
  driver.SetProgress(0, written);
}

// A pitch in range, a count of stored triangles, and a lattice of at least
// one point whose coordinates are 32-bit.
void CheckScanArguments(const GeometryStore& store, const Lattice& lattice, std::int32_t count) {
  PELMORO_ASSERT(lattice.pitch >= 1 && lattice.pitch <= 255);
  PELMORO_ASSERT(count >= 0 && static_cast<std::size_t>(count) <= store.capacity());
  PELMORO_ASSERT(lattice.columns >= 1 && lattice.rows >= 1 &&
                 lattice.X(lattice.columns - 1) <= INT32_MAX &&
                 lattice.Y(lattice.rows - 1) <= INT32_MAX);
}

}  // namespace

void ScanHeightMapReference(const GeometryStore& store, const Lattice& lattice, std::int32_t count,
                            RunDriver& driver, RowSink& sink, ScanSide side) {
  CheckScanArguments(store, lattice, count);
  DriverPoll poll(driver);
  ReferenceRows rows(store, lattice, count, driver, sink, ScanOptions{}.piece_columns, poll, side);
  DriveRows(driver, sink, rows, poll);
}

void ScanHeightMap(const GeometryStore& store, const Lattice& lattice, std::int32_t count,
                   RunDriver& driver, RowSink& sink, const ScanOptions& options) {
  CheckScanArguments(store, lattice, count);
  DriverPoll poll(driver, options.poll_interval);
  if (options.reference) {
    ReferenceRows rows(store, lattice, count, driver, sink, options.piece_columns, poll,
                       options.side);
    DriveRows(driver, sink, rows, poll);
    return;
  }
  const ScanPlan plan(store, lattice, count, options.piece_columns, options.side);
  const int threads = ThreadsToStart(options.threads, ThreadUse::kAsAsked);
  if (threads > 1) {
    RowPipeline rows(plan, sink.formatters(), threads, driver, poll);
    if (rows.workers() > 0) {
      DriveRows(driver, sink, rows, poll);
      return;
    }
  }
  // One thread, or none could be started besides this one.
  InlineRows rows(plan, sink, poll);
  DriveRows(driver, sink, rows, poll);
}

}  // namespace pelmoro
