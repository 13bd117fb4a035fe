// A sink that records what a scan delivers, both ways it can: the heights
// handed to the driving thread, and the text a formatter made of them ahead
// (on the workers when the scan has them).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/scan/row_sink.h"

namespace pelmoro::testing {

// "x,y,z" points separated by spaces, one text per piece.
class PointListFormatter : public RowFormatter {
 public:
  void FormatPiece(const Lattice& lattice, const RowPiece& piece, RowText& out) const override;
  std::size_t MaxBytesPerPoint() const override { return 36; }
};

class RecordingSink : public RowSink {
 public:
  std::span<const RowFormatter* const> formatters() const override { return {&formatter_, 1}; }
  void WritePiece(const RowPiece& piece, std::span<const RowText> texts) override;
  // Forgets the pieces of the row so far, and counts the drop.
  void DropPartialRow() override;

  // The formatter's text of every row, its pieces' texts joined by spaces,
  // in order of arrival.
  std::vector<std::string> rows;
  // Every row's index and heights, as raw bytes, in order; however the rows
  // were cut into pieces, the same bytes.
  std::string heights;
  // Pieces that did not continue their row where the last one ended.
  int out_of_place = 0;
  // Rows given in part and then dropped.
  int partial_rows_dropped = 0;
  // Both, for comparing two scans at once.
  std::string Everything() const;

 private:
  PointListFormatter format_;
  const RowFormatter* const formatter_ = &format_;
  std::string row_text_;
  std::int64_t next_column_ = 0;
  std::size_t row_start_ = 0;  // bytes of heights before the row's first piece
};

// "same", or where two recordings of heights first differ.
std::string FirstDifference(const std::string& a, const std::string& b);

}  // namespace pelmoro::testing
