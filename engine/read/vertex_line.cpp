#include "engine/read/vertex_line.h"

#include "foundation/numbers.h"
#include "foundation/text.h"

namespace pelmoro {

namespace {

// Numbers in STL files are always written with a decimal point, whatever
// the user's locale.
constexpr char kStlSeparator = '.';

bool IsSeparatorByte(char c) { return static_cast<unsigned char>(c) <= 32; }

// Cuts the next field off rest: the bytes up to the next blank or control
// character; rest keeps what follows, without its leading blanks.
std::string_view NextField(std::string_view& rest) {
  std::size_t end = 0;
  while (end < rest.size() && !IsSeparatorByte(rest[end])) ++end;
  std::string_view field = rest.substr(0, end);
  rest = StripLeading(rest.substr(end));
  return field;
}

// The last field is everything that is left, less trailing blanks and
// control characters; anything inside it that is not part of the number
// (a fourth field) makes it refused under its whole text.
std::string_view LastField(std::string_view rest) {
  std::size_t end = rest.size();
  while (end > 0 && IsSeparatorByte(rest[end - 1])) --end;
  return rest.substr(0, end);
}

std::int32_t ConvertField(std::string_view field, int units) {
  return ToGridUnits(ParseReal(field, kStlSeparator), field, units);
}

std::int32_t ConvertShiftedField(std::string_view field, int units, std::int64_t shift) {
  if (shift == 0) return ConvertField(field, units);
  return ToShiftedGridUnits(ParseReal(field, kStlSeparator), units, shift,
                            [field] { return field; });
}

}  // namespace

void ReadVertexFields(std::string_view stripped_line, Vertex& vertex, int units, int& converted,
                      const GridShift& shift) {
  converted = 0;
  std::string_view rest = StripLeading(stripped_line.substr(6));
  vertex.x = ConvertShiftedField(NextField(rest), units, shift.x);
  converted = 1;
  vertex.y = ConvertShiftedField(NextField(rest), units, shift.y);
  converted = 2;
  vertex.z = ConvertField(LastField(rest), units);
  converted = 3;
}

}  // namespace pelmoro
