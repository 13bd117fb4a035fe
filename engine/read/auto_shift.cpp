#include "engine/read/auto_shift.h"

#include <cmath>
#include <cstring>
#include <string>

#include "engine/read/model_extent.h"
#include "engine/read/model_units.h"
#include "engine/read/stl_format.h"
#include "engine/read/vertex_line.h"
#include "foundation/errors.h"
#include "foundation/numbers.h"
#include "foundation/text.h"

namespace pelmoro {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// The x and y texts of the head's first vertex line; false when it has
// none.
bool FirstVertexTexts(std::string_view head, std::string_view& x, std::string_view& y) {
  for (std::size_t at = 0; at < head.size();) {
    std::size_t end = head.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = head.size();
    const std::string_view line = StripLeading(head.substr(at, end - at));
    at = end + 1;
    if (!IsVertexLine(line)) continue;
    std::string_view rest = StripLeading(line.substr(kVertexKeywordBytes));
    std::size_t cut = 0;
    while (cut < rest.size() && !IsBlank(rest[cut])) ++cut;
    x = rest.substr(0, cut);
    rest = StripLeading(rest.substr(cut));
    cut = 0;
    while (cut < rest.size() && !IsBlank(rest[cut])) ++cut;
    y = rest.substr(0, cut);
    return true;
  }
  return false;
}

std::int64_t ShiftOf(Real value, int units, std::string_view text) {
  const std::int64_t shift =
      RoundDownToThousand(ToWideGridUnits(value, units, [text] { return text; }), units);
  if (shift < -kLargestShift || shift > kLargestShift) ThrowBeyondShiftRange(text, units);
  return shift;
}

}  // namespace

std::int64_t RoundDownToThousand(std::int64_t v, int units_per_file_unit) {
  const std::int64_t step = std::int64_t{1000} * units_per_file_unit;
  return (v / step - (v % step < 0 ? 1 : 0)) * step;
}

GridShift FirstVertexShift(std::string_view head, bool binary, int units) {
  if (binary) {
    constexpr std::size_t kFirstVertex = kBinaryStlHeaderBytes + 12;
    if (head.size() < kFirstVertex + 8) return {};
    float xy[2];
    std::memcpy(xy, head.data() + kFirstVertex, sizeof xy);
    if (!std::isfinite(xy[0]) || !std::isfinite(xy[1])) return {};
    return {ShiftOf(xy[0], units, std::to_string(xy[0])),
            ShiftOf(xy[1], units, std::to_string(xy[1]))};
  }
  std::string_view x, y;
  if (!FirstVertexTexts(head, x, y)) return {};
  try {
    const Real xv = ParseReal(x, '.');
    const Real yv = ParseReal(y, '.');
    return {ShiftOf(xv, units, x), ShiftOf(yv, units, y)};
  } catch (const EConvertError&) {
    return {};  // the reading refuses the text, with its line
  }
}

GridShift MoveToCornerShift(GeometryStore& store, std::int32_t count, const GridShift& first,
                            int units) {
  const ModelExtent extent = MeasureModelExtent(store, count);
  if (extent.empty) return first;
  const GridShift final_shift{RoundDownToThousand(first.x + extent.min.x, units),
                              RoundDownToThousand(first.y + extent.min.y, units)};
  // The final corner is at or below every vertex, so the move is up and
  // right, by less than the model's extent plus the rounding.
  const std::int64_t dx = first.x - final_shift.x;
  const std::int64_t dy = first.y - final_shift.y;
  if (std::int64_t{extent.max.x} + dx > kLargestGridValue ||
      std::int64_t{extent.max.y} + dy > kLargestGridValue) {
    const ModelUnit& unit = ModelUnitOf(units);
    throw ERangeError("the model is wider than the grid's range of " + std::string(unit.limit) +
                      " " + std::string(unit.name) + " from its lower-left corner");
  }
  const std::int32_t z_min = store.bounds().z_min;
  store.ResetBounds();
  for (std::int32_t t = 0; t < count; ++t) {
    for (Vertex& v : store.triangle(static_cast<std::size_t>(t)).v) {
      v.x = static_cast<std::int32_t>(v.x + dx);
      v.y = static_cast<std::int32_t>(v.y + dy);
      store.WidenBounds(v);
    }
  }
  store.bounds().z_min = z_min;
  return final_shift;
}

}  // namespace pelmoro
