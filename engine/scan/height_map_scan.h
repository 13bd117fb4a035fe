// The raster scan that turns the geometry store into height-map rows.
#pragma once

#include <chrono>
#include <cstdint>

#include "engine/run_driver.h"
#include "engine/scan/lattice.h"
#include "engine/scan/row_sink.h"
#include "engine/scan/scan_poll.h"
#include "engine/scan/scan_side.h"
#include "foundation/geometry_store.h"

namespace pelmoro {

// How the scan computes its rows; the output is the same in every case.
struct ScanOptions {
  int threads = 0;         // worker threads computing rows ahead; 0: one per core
  bool reference = false;  // the plain scan: every triangle at every point
  // Rows wider than this travel in pieces of this many columns, so that no
  // row is ever held whole (the memory of a scan does not grow with the
  // width of its rows).
  std::int64_t piece_columns = std::int64_t{1} << 16;
  // Within a row the driving thread asks the driver (WhileWaiting, then
  // StopRequested) when this much time has passed since it last did, every
  // few thousand points of work: a stop is obeyed within a few
  // milliseconds however slow the row. Zero asks at every such look.
  std::chrono::milliseconds poll_interval = DriverPoll::kDriverInterval;
  // The side seen: from below, every "highest" and "z min" of the scan
  // below reads "lowest" and "z max" (HighestZ); the first covering
  // triangle stays the first, never above z max. From below the model
  // must satisfy SideFits.
  ScanSide side = ScanSide::kTop;
};

// Scans the lattice's rows y = y min, y min + pitch, ... <= y max and in
// each the points x = x min, ... <= x max (grid units), handing each row's heights to the
// sink. A point's height is the highest covering triangle's plane height
// or, while the driver wants the first covering triangle, that triangle's;
// never below z min. After every row: progress TruncateReal(y / y max *
// 100) for the next row's y (over a window, the share of its rows done:
// LatticeProgress), pending messages, and the stop check (a stop
// ends the scan after that row). Progress returns to 0 at the end. Within
// a row the driver's WhileWaiting and the stop check run every
// poll_interval, and while the driving thread waits for a worker about
// every 50 ms; a stop seen there ends the scan at once and drops the row
// in progress (the sink drops what it took of it), so the sink holds whole
// rows only. A stop asked for before the scan began lets the first row
// through all the same. Rows travel in pieces (ScanOptions::piece_columns); the mode is
// read once per row, before its first piece.
// lattice: LatticeOver(store.bounds(), pitch), made by the caller, which
// needs it before the scan, or any window on the same points (a point's
// height depends on its x and y alone, so a window gives the very heights
// of the whole lattice's points; points beyond the bounds are z min);
// count: triangles 0..count-1 of the store.
// Rows are computed by a sweep over the triangles crossing each row, ahead
// of time on worker threads when threads allow, formatted there by the
// sink's formatters; rows computed in a mode that has changed since are
// computed again. Raises what the sink and the driver raise, and
// std::bad_alloc when memory runs out (on a worker thread too); a worker
// thread that cannot be started leaves the scan to fewer.
void ScanHeightMap(const GeometryStore& store, const Lattice& lattice, std::int32_t count,
                   RunDriver& driver, RowSink& sink, const ScanOptions& options = {});

// The plain scan: asks every triangle at every grid point, in table order,
// reading the driver's mode at every covering triangle; from below it
// takes the lowest covering plane directly, never above z max. The
// reference for the sweep.
void ScanHeightMapReference(const GeometryStore& store, const Lattice& lattice, std::int32_t count,
                            RunDriver& driver, RowSink& sink, ScanSide side = ScanSide::kTop);

}  // namespace pelmoro
