// The height map as an ESRI ASCII grid, in millimetres: the header lines
// ncols, nrows, xllcenter, yllcenter and cellsize, then one line per row
// from the highest y down, each from the lowest x, values separated by a
// space. Every value is the exact decimal of its grid units / 40, with "."
// and without trailing zeros (1.5, 0.025, 12). No NODATA: every point has a
// height. Lines end in CR LF, as in the height map.
//
// The rows come bottom-up, so their text (made on the scan's workers) goes
// to an unnamed scratch file as it comes, and Finish copies it out in
// reverse order behind the header: memory stays at a few bytes a row.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "heightmap/map_output.h"
#include "heightmap/spill_file.h"
#include "foundation/text_file.h"

namespace pelmoro {

// The values of a piece, with the row's line end after its last piece.
class AscFormatter : public RowFormatter {
 public:
  void FormatPiece(const Lattice& lattice, const RowPiece& piece,
                   std::string& out) const override;
  std::size_t MaxBytesPerPoint() const override;
};

// The five header lines for `rows` rows of the lattice.
std::string AscHeader(const Lattice& lattice, std::int64_t rows);

// A lower bound, in bytes, of the values of every row of the lattice: one
// character a value (the shortest, as "0"), a space between values and
// CR LF after each row. Saturates at the largest uint64.
std::uint64_t AscRowsLowerBound(const Lattice& lattice);

class AscOutput : public MapOutput {
 public:
  AscOutput(TextFile& out, std::string target) : out_(out), target_(std::move(target)) {}

  std::span<const RowFormatter* const> formatters() const override { return {&formatter_, 1}; }
  void Start(const Lattice& lattice, const ModelBounds& bounds) override;
  void WritePiece(const RowPiece& piece, std::span<const std::string> texts) override;
  // The header for the rows scanned, then those rows, the highest first.
  void Finish() override;
  std::uint64_t LeastFileBytes() const override;
  // The rows' text, held in the scratch file until the end.
  std::optional<SpaceClaim> ScratchClaim() const override;

 private:
  TextFile& out_;
  std::string target_;
  Lattice lattice_;
  SpillFile spill_;
  std::vector<std::uint64_t> row_starts_;  // offset of every row in the spill
  AscFormatter format_;
  const RowFormatter* const formatter_ = &format_;
};

}  // namespace pelmoro
