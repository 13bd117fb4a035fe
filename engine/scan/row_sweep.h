// Heights of one lattice row, from only the triangles whose y range holds
// the row and, for each, only the lattice points of its own x range.
#pragma once

#include <atomic>
#include <climits>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/scan/active_triangle.h"
#include "engine/scan/scan_plan.h"
#include "foundation/mapped_table.h"

namespace pelmoro {

struct BoxTerms;

// Tells a sweep that the piece it computes is no longer wanted: it lies at
// or beyond the end of what is needed, or the mode changed since it was
// claimed. Read without a lock, once per triangle.
struct SweepCancel {
  const std::atomic<std::int64_t>* needed_end;
  const std::atomic<std::uint64_t>* generation;
  std::int64_t unit;
  std::uint64_t claimed_generation;

  bool Cancelled() const {
    return unit >= needed_end->load(std::memory_order_relaxed) ||
           generation->load(std::memory_order_relaxed) != claimed_generation;
  }
};

// Sweeps rows upward for one thread; rows may also jump ahead or restart
// lower.
//
// A small triangle (one taking the branch-free loop and spanning fewer
// rows than the ring holds) is swept over all its rows as it enters, into
// a ring of the rows ahead: the highest height so far of each point, or,
// seeking the first covering triangle, the lowest covering index so far and
// its height. Only the others stay in the active set from row to row.
class RowSweeper {
 public:
  explicit RowSweeper(const ScanPlan& plan);

  // Heights of lattice row `row` (0-based, from y min) from column
  // first_column on into heights (one per column): the highest covering
  // plane height or, with surface, the first covering triangle's; never
  // below z min. Equal to the plain scan's. Once cancel says the piece is
  // no longer wanted, the heights are left unfinished. run_last is the last
  // row of the run of rows this one begins or belongs to, that the caller
  // will ask for one after the other: rows ahead are filled no further.
  void ComputeRow(std::int64_t row, bool surface, std::int64_t first_column,
                  std::span<std::int32_t> heights, const SweepCancel* cancel = nullptr,
                  std::int64_t run_last = INT64_MAX);

 private:
  void MoveTo(std::int64_t row, bool surface, std::int64_t run_last);
  void Restart();
  void Advance(std::int64_t row, std::int64_t y, bool surface);
  void Enter(std::int32_t i, std::int64_t row, std::int64_t y, bool surface);
  std::int64_t RingLast(std::int32_t i, std::int64_t last);
  std::span<std::int32_t> RingRow(std::int64_t row) { return RowOf(ring_, row); }
  std::span<std::int32_t> RingFirstRow(std::int64_t row) { return RowOf(ring_first_, row); }
  std::span<std::int32_t> RowOf(const MappedArray<std::int32_t>& ring, std::int64_t row);
  void EmptyRingRow(std::int64_t row);
  void SweepTriangle(const ActiveTriangle& a, std::int64_t y, bool surface, const ColumnWindow& w,
                     std::span<std::int32_t> heights);
  void SweepSimple(const ActiveTriangle& a, std::int64_t y, const ColumnWindow& w,
                   std::span<std::int32_t> heights);
  void SweepIntoRing(const ActiveTriangle& a, std::int64_t row, std::int64_t last, bool surface);
  bool SweepSmallIntoRing(std::int32_t i, const Triangle& t, double area_key, std::int64_t row,
                          bool surface);
  void BoxIntoRing(const BoxTerms& b, std::int64_t row, std::int64_t last, bool surface);
  template <typename Pass>
  void IntoRing(std::int32_t index, bool surface, Pass pass);
  void SweepWithFullTest(const ActiveTriangle& a, std::int64_t y, bool surface,
                         const ColumnWindow& w, std::span<std::int32_t> heights);
  std::int32_t PlaneHeight(const ActiveTriangle& a, std::int64_t s, std::int64_t x,
                           std::int64_t y) const;

  const ScanPlan& plan_;
  std::size_t next_ = 0;        // next entry of plan_.order to enter
  std::int64_t last_row_ = -1;  // the row computed last (-1: none yet)
  bool last_surface_ = false;
  ActiveSet active_;
  ActiveSet level_;  // level at z min, kept for the first covering triangle only
  // Triangles go into the ring through the end of the current run only: the
  // rows past it may be skipped (another thread computes them), and their
  // ring rows emptied unused. Those reaching past it wait here, and are
  // swept on from the first row asked for after it.
  std::int64_t run_last_ = INT64_MAX;
  std::vector<std::int32_t> pending_;
  std::vector<std::int32_t> resumed_;  // those going on now
  std::int64_t ring_rows_;             // rows the ring holds, a power of two (0: no ring)
  // The rows ahead: highest heights so far, or, seeking the first covering
  // triangle, the lowest covering index so far (INT32_MAX: none) and its
  // height. In mappings of their own: a wide lattice's ring is made of
  // huge pages.
  MappedArray<std::int32_t> ring_;
  MappedArray<std::int32_t> ring_first_;
  // Seeking the first covering triangle, the row being computed: the lowest
  // covering index per column and its plane height there. The ring's row,
  // or, with no ring, first_ and first_z_.
  std::int32_t* first_now_ = nullptr;
  std::int32_t* first_z_now_ = nullptr;
  std::vector<std::int32_t> first_;
  std::vector<std::int32_t> first_z_;
};

}  // namespace pelmoro
