#include "cli/model_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cli/catalog.h"
#include "outputs/formats/grid_millimetres.h"
#include "outputs/formats/hzm_size.h"

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
  const std::string plan = PlanText(std::int64_t{extent.max.x} - extent.min.x,
                                    std::int64_t{extent.max.y} - extent.min.y);
  const ModelUnit* likely = LikelyUnit(size, unit);
  if (likely == nullptr && size < kSmallest) {
    return Translate(
        "the model measures {plan} in plan view, under 1 mm; check the unit of its file (--units)",
        {{"plan", plan}});
  }
  if (likely == nullptr) {
    return Translate(
        "the model measures {plan} in plan view, over 100 m; check the unit of its file (--units)",
        {{"plan", plan}});
  }
  const double scale = static_cast<double>(likely->grid_units) / unit.grid_units;
  const std::string name(likely->name);
  if (scale > 1) {
    return Translate(
        "the model measures {plan} in plan view; if its file is in {unit}, try --units {unit} "
        "({factor} times larger)",
        {{"plan", plan}, {"unit", name}, {"factor", Approximate(scale)}});
  }
  return Translate(
      "the model measures {plan} in plan view; if its file is in {unit}, try --units {unit} "
      "({factor} times smaller)",
      {{"plan", plan}, {"unit", name}, {"factor", Approximate(1 / scale)}});
}

std::string StreamStartText(const std::string& input, const Lattice& lattice,
                            const ModelExtent& extent, const std::string& output) {
  // Every height is the floor or a plane height within a triangle's z.
  const std::int32_t z_low = extent.empty ? 0 : std::min(0, extent.min.z);
  const std::int32_t z_high = extent.empty ? 0 : std::max(0, extent.max.z);
  const std::string columns = std::to_string(lattice.columns);
  const std::string rows = std::to_string(lattice.rows);
  const std::string pitch = FormatMillimetres(lattice.pitch);
  const std::string least = std::to_string(HzmSizeLowerBound(lattice));
  const std::string most = std::to_string(HzmSizeUpperBound(lattice, z_low, z_high));
  return Translate(
             "{input}: {columns} x {rows} points at {pitch} mm; the height map takes {least} to "
             "{most} bytes -> {output}",
             {{"input", input},
              {"columns", columns},
              {"rows", rows},
              {"pitch", pitch},
              {"least", least},
              {"most", most},
              {"output", output}}) +
         "\n";
}

std::string InfoText(const std::string& input, const ModelInfo& info, int pitch) {
  const std::string triangles = std::to_string(info.triangles);
  std::string text =
      Translate(info.format == StlFormat::kBinary ? N_("{input}: binary STL, {triangles} triangles")
                                                  : N_("{input}: ASCII STL, {triangles} triangles"),
                {{"input", input}, {"triangles", triangles}});
  text += '\n';
  if (info.extent.empty) {
    text += Translate("  bounds: none (no triangles)");
  } else {
    const Vertex& lo = info.extent.min;
    const Vertex& hi = info.extent.max;
    text += Translate("  bounds (mm): x {x0} to {x1}, y {y0} to {y1}, z {z0} to {z1}",
                      {{"x0", FormatMillimetres(lo.x)},
                       {"x1", FormatMillimetres(hi.x)},
                       {"y0", FormatMillimetres(lo.y)},
                       {"y1", FormatMillimetres(hi.y)},
                       {"z0", FormatMillimetres(lo.z)},
                       {"z1", FormatMillimetres(hi.z)}});
  }
  const std::string least = std::to_string(info.map_bytes);
  const std::string most = std::to_string(info.map_bytes_most);
  text += '\n';
  text += Translate("  lattice at {pitch} mm: {columns} x {rows} points",
                    {{"pitch", FormatMillimetres(pitch)},
                     {"columns", std::to_string(info.lattice.columns)},
                     {"rows", std::to_string(info.lattice.rows)}});
  text += '\n';
  text +=
      info.map_bytes == info.map_bytes_most
          ? Translate("  height map: {bytes} bytes", {{"bytes", std::to_string(info.map_bytes)}})
          : Translate("  height map: {least} to {most} bytes (--exact scans for the exact size)",
                      {{"least", least}, {"most", most}});
  text += '\n';
  return text;
}

}  // namespace pelmoro::cli
