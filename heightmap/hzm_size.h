// How large an HZM file over a lattice is at least, known before the scan.
#pragma once

#include <cstdint>

#include "engine/lattice.h"

namespace pelmoro {

// A lower bound, in bytes, of the HZM file over the lattice: the 29-byte
// header, every point line "x,y,z" CR LF with its exact x and y digits and
// a one-character z, and "S" CR LF after every row. Exact when every height
// is a single digit (0 to 9 grid units). Saturates at the largest uint64.
std::uint64_t HzmSizeLowerBound(const Lattice& lattice);

}  // namespace pelmoro
