#include "tests/support/recording_sink.h"

namespace pelmoro::testing {

void PointListFormatter::FormatPiece(const Lattice& lattice, const RowPiece& piece,
                                     std::string& out) const {
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

void RecordingSink::WritePiece(const RowPiece& piece, std::span<const std::string> texts) {
  rows.push_back(texts.front());
  const std::int64_t where[2] = {piece.row, piece.first_column};
  heights.append(reinterpret_cast<const char*>(where), sizeof where);
  heights.append(reinterpret_cast<const char*>(piece.heights.data()), piece.heights.size_bytes());
}

std::string RecordingSink::Everything() const {
  std::string all = heights;
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
