// Where the rows of a scan go: heights, one row at a time, in order, to a
// sink on the thread that drives the scan. Text outputs may have their
// formatting done ahead, on the scan's worker threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/scan/lattice.h"
#include "foundation/scratch_arena.h"

namespace pelmoro {

// The text a formatter makes of a piece. Its room may come from an arena
// the scan keeps for the pieces in flight.
using RowText = std::basic_string<char, std::char_traits<char>, ArenaAllocator<char>>;

// Consecutive columns of one lattice row. A row comes in one piece, or in
// several when it is wider than the scan holds at once.
struct RowPiece {
  std::int64_t row = 0;                   // 0-based, from y min
  std::int64_t first_column = 0;          // the column of heights[0], 0-based from x min
  std::span<const std::int32_t> heights;  // grid units, one per column
  bool ends_row = true;                   // the row's last piece
};

// Makes the bytes of one output from a piece. Called from any thread,
// several pieces at once, so it keeps no state.
class RowFormatter {
 public:
  virtual ~RowFormatter() = default;
  // Appends the piece's bytes to out.
  virtual void FormatPiece(const Lattice& lattice, const RowPiece& piece, RowText& out) const = 0;
  // The most bytes one point can take, for planning memory.
  virtual std::size_t MaxBytesPerPoint() const = 0;
};

class RowSink {
 public:
  virtual ~RowSink() = default;
  // The formatters whose texts the scan makes of every piece before
  // WritePiece; empty for a sink that works on the heights alone.
  virtual std::span<const RowFormatter* const> formatters() const { return {}; }
  // Takes a piece, in row and column order, on the driving thread;
  // texts[k] is what formatters()[k] made of it. Raises the error of a
  // failed write.
  virtual void WritePiece(const RowPiece& piece, std::span<const RowText> texts) = 0;
  // A stop came in the middle of a row: the pieces of it already taken
  // are dropped, so that the sink holds whole rows only. Nothing to do
  // for a sink that keeps nothing of a row until its last piece.
  virtual void DropPartialRow() {}
};

}  // namespace pelmoro
