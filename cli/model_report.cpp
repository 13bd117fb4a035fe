#include "cli/model_report.h"

#include <cmath>
#include <cstdio>

#include "heightmap/grid_millimetres.h"

namespace pelmoro::cli {

namespace {

constexpr std::int64_t kSmallest = 40;         // 1 mm
constexpr std::int64_t kLargest = 4'000'000;   // 100 m
constexpr double kTypical = 4000;              // 100 mm

std::string Approximate(double millimetres) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", millimetres);
  return text;
}

std::string PlanText(std::int64_t width, std::int64_t depth) {
  return Approximate(static_cast<double>(width) / 40) + " x " +
         Approximate(static_cast<double>(depth) / 40) + " mm";
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
  std::string text = "the model measures " + PlanText(width, depth) + " in plan view";
  const ModelUnit* likely = LikelyUnit(size, unit);
  if (likely == nullptr) {
    return text + (size < kSmallest ? ", under 1 mm" : ", over 100 m") +
           "; check the unit of its file (--units)";
  }
  const double scale = static_cast<double>(likely->grid_units) / unit.grid_units;
  return text + "; if its file is in " + std::string(likely->name) + ", try --units " +
         std::string(likely->name) + " (" + (scale > 1 ? Approximate(scale) + " times larger" : Approximate(1 / scale) + " times smaller") + ")";
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
  text += "  lattice at " + FormatMillimetres(pitch) + " mm: " + std::to_string(info.lattice.columns) +
          " x " + std::to_string(info.lattice.rows) + " points\n";
  text += "  height map: " + std::to_string(info.map_bytes) + " bytes\n";
  return text;
}

}  // namespace pelmoro::cli
