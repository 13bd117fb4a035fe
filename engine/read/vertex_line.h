// The vertex lines of ASCII STL files: recognising one and converting its
// three fields into grid units.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "engine/read/grid_shift.h"
#include "engine/read/grid_units.h"
#include "foundation/geometry_store.h"

namespace pelmoro {

// The keyword of a vertex line, in small letters.
inline constexpr char kVertexKeyword[] = "vertex";
inline constexpr std::size_t kVertexKeywordBytes = sizeof kVertexKeyword - 1;

// Whether the six bytes at p spell "vertex" in any letter case: the one
// test of the keyword, for the readers and for telling the formats apart.
// p: six readable bytes (a line shorter than that fails at its terminator,
// which never folds into a letter).
inline bool SpellsVertex(const char* p) {
  constexpr std::uint64_t kVertex = 0x786574726576;  // "vertex", first letter lowest
  std::uint64_t word = 0;
  std::memcpy(&word, p, kVertexKeywordBytes);
  // Setting bit 5 turns exactly the capitals into small letters among the
  // bytes that can then equal these six.
  return (word | 0x202020202020) == kVertex;
}

// A vertex line begins, once its leading bytes of code 0 to 32 are
// stripped, with "vertex" in any letter case; no blank is needed before
// the first number.
inline bool IsVertexLine(std::string_view stripped_line) {
  return stripped_line.size() >= kVertexKeywordBytes && SpellsVertex(stripped_line.data());
}

// The general reading of a vertex line (stripped, at least its keyword):
// x and y are the bytes up to the next byte of code 0 to 32, each followed
// by any number of such bytes; z is all the rest less its trailing ones
// (so a fourth field is refused as part of z's text). Each is converted by
// ParseReal with the separator "." and ToGridUnits, and stored into vertex
// as soon as it is, so a failure in a later field keeps the earlier ones;
// converted counts the fields stored. With a shift, x and y are converted
// by ToShiftedGridUnits. Raises EConvertError or ERangeError naming the
// field's text.
void ReadVertexFields(std::string_view stripped_line, Vertex& vertex, int units_per_file_unit,
                      int& converted, const GridShift& shift = {});

}  // namespace pelmoro
