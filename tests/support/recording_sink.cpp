#include "tests/support/recording_sink.h"

namespace pelmoro::testing {

void PointListFormatter::FormatPiece(const Lattice& lattice, const RowPiece& piece,
                                     RowText& out) const {
  const std::string y = std::to_string(lattice.Y(piece.row));
  for (std::size_t k = 0; k < piece.heights.size(); ++k) {
    if (k > 0) out += ' ';
    out += std::to_string(lattice.X(piece.first_column + static_cast<std::int64_t>(k)));
    out += ',';
    out += y;
    out += ',';
    out += std::to_string(piece.heights[k]);
  }
}

void RecordingSink::WritePiece(const RowPiece& piece, std::span<const RowText> texts) {
  if (piece.first_column != next_column_) ++out_of_place;
  if (piece.first_column == 0) {
    row_start_ = heights.size();
    heights.append(reinterpret_cast<const char*>(&piece.row), sizeof piece.row);
  } else {
    row_text_ += ' ';
  }
  heights.append(reinterpret_cast<const char*>(piece.heights.data()), piece.heights.size_bytes());
  row_text_ += texts.front();
  next_column_ = piece.first_column + static_cast<std::int64_t>(piece.heights.size());
  if (!piece.ends_row) return;
  rows.push_back(std::move(row_text_));
  row_text_.clear();
  next_column_ = 0;
}

void RecordingSink::DropPartialRow() {
  ++partial_rows_dropped;
  heights.resize(row_start_);
  row_text_.clear();
  next_column_ = 0;
}

std::string RecordingSink::Everything() const {
  std::string all = heights;
  if (out_of_place > 0) all += "\npieces out of place: " + std::to_string(out_of_place);
  for (const std::string& row : rows) (all += '\n') += row;
  return all;
}

std::string FirstDifference(const std::string& a, const std::string& b) {
  if (a == b) return "same";
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  return "sizes " + std::to_string(a.size()) + "/" + std::to_string(b.size()) +
         ", first difference at byte " + std::to_string(i);
}

}  // namespace pelmoro::testing
