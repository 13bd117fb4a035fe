// How large an HZM file is: at least, over a lattice, known before the
// scan; exactly, counted from the heights of a scan without making the text.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "engine/scan/lattice.h"
#include "engine/scan/row_sink.h"

namespace pelmoro {

// A lower bound, in bytes, of the HZM file over the lattice: the 29-byte
// header, every point line "x,y,z" CR LF with its exact x and y digits and
// a one-character z, and "S" CR LF after every row. Exact when every height
// is a single digit (0 to 9 grid units). Saturates at the largest uint64.
std::uint64_t HzmSizeLowerBound(const Lattice& lattice);
// An upper bound, in bytes, of the HZM file over the lattice when every
// height lies in z_low..z_high (grid units): the lower bound with every z
// as long as the longer of the two. Saturates at the largest uint64.
std::uint64_t HzmSizeUpperBound(const Lattice& lattice, std::int32_t z_low, std::int32_t z_high);

// The size of the HZM file over the lattice, in bytes, when every height
// lies from z_low to z_high: each point's z text is as short as the
// shortest and as long as the longest of those numbers. Exact when all of
// them have one length. Saturates at the largest uint64.
struct HzmSizeRange {
  std::uint64_t lower = 0, upper = 0;
};
HzmSizeRange HzmSizeWithin(const Lattice& lattice, std::int32_t z_low, std::int32_t z_high);

// Counts the bytes of the HZM file that the rows handed to it make, header
// included, from the heights alone: no text is made.
class HzmByteCounter : public RowSink {
 public:
  explicit HzmByteCounter(const Lattice& lattice);
  void WritePiece(const RowPiece& piece, std::span<const RowText> texts) override;
  // The header and the rows handed on so far.
  std::uint64_t bytes() const { return bytes_; }

 private:
  Lattice lattice_;
  std::uint64_t bytes_;
};

}  // namespace pelmoro
