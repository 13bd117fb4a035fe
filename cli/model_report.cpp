#include "cli/model_report.h"

#include <cmath>
#include <cstdio>

#include "outputs/formats/grid_millimetres.h"

namespace pelmoro::cli {

namespace {

constexpr std::int64_t kSmallest = 40;        // 1 mm
constexpr std::int64_t kLargest = 4'000'000;  // 100 m
constexpr double kTypical = 4000;             // 100 mm

std::string Approximate(double millimetres) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", millimetres);
  return text;
}

// Exact millimetres: a grid unit is 0.025 mm, so three decimals at most.
std::string PlanText(std::int64_t width, std::int64_t depth) {
  std::string text = FormatMillimetres(width);
  text += " x ";
  text += FormatMillimetres(depth);
  text += " mm";
  return text;
}

// The unit that brings the plan view nearest to 100 mm within 1 mm to 100 m,
// or nullptr.
const ModelUnit* LikelyUnit(std::int64_t size, const ModelUnit& unit) {
  const ModelUnit* best = nullptr;
  double best_distance = 0;
  for (const ModelUnit& other : ModelUnits()) {
    const double scaled = static_cast<double>(size) * other.grid_units / unit.grid_units;
    if (&other == &unit || scaled < kSmallest || scaled > kLargest) continue;
    const double distance = std::fabs(std::log10(scaled / kTypical));
    if (best == nullptr || distance < best_distance) {
      best = &other;
      best_distance = distance;
    }
  }
  return best;
}

}  // namespace

std::string SizeAdvice(const ModelExtent& extent, const ModelUnit& unit) {
  const std::int64_t size = PlanViewSize(extent);
  if (extent.empty || (size >= kSmallest && size <= kLargest)) return "";
  const std::int64_t width = std::int64_t{extent.max.x} - extent.min.x;
  const std::int64_t depth = std::int64_t{extent.max.y} - extent.min.y;
  // Built by appending: "literal" + a temporary trips GCC 12's -Wrestrict at -O3.
  std::string text = "the model measures ";
  text += PlanText(width, depth);
  text += " in plan view";
  const ModelUnit* likely = LikelyUnit(size, unit);
  if (likely == nullptr) {
    text += size < kSmallest ? ", under 1 mm" : ", over 100 m";
    text += "; check the unit of its file (--units)";
    return text;
  }
  const double scale = static_cast<double>(likely->grid_units) / unit.grid_units;
  text += "; if its file is in ";
  text += likely->name;
  text += ", try --units ";
  text += likely->name;
  text += " (";
  text +=
      scale > 1 ? Approximate(scale) + " times larger" : Approximate(1 / scale) + " times smaller";
  text += ")";
  return text;
}

std::string InfoText(const std::string& input, const ModelInfo& info, int pitch) {
  std::string text = input + ": " + (info.format == StlFormat::kBinary ? "binary" : "ASCII") +
                     " STL, " + std::to_string(info.triangles) + " triangles\n";
  if (info.extent.empty) {
    text += "  bounds: none (no triangles)\n";
  } else {
    const Vertex& lo = info.extent.min;
    const Vertex& hi = info.extent.max;
    text += "  bounds (mm): x " + FormatMillimetres(lo.x) + " to " + FormatMillimetres(hi.x) +
            ", y " + FormatMillimetres(lo.y) + " to " + FormatMillimetres(hi.y) + ", z " +
            FormatMillimetres(lo.z) + " to " + FormatMillimetres(hi.z) + "\n";
  }
  text += "  lattice at " + FormatMillimetres(pitch) +
          " mm: " + std::to_string(info.lattice.columns) + " x " +
          std::to_string(info.lattice.rows) + " points\n";
  if (info.map_bytes == info.map_bytes_most) {
    text += "  height map: " + std::to_string(info.map_bytes) + " bytes\n";
  } else {
    text += "  height map: " + std::to_string(info.map_bytes) + " to " +
            std::to_string(info.map_bytes_most) + " bytes (--exact scans for the exact size)\n";
  }
  return text;
}

}  // namespace pelmoro::cli
