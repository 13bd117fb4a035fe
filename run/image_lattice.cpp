#include "run/image_lattice.h"

#include <climits>
#include <string>

#include "foundation/errors.h"

namespace pelmoro {

namespace {

std::int64_t FloorDivide(std::int64_t a, std::int64_t b) {  // b > 0
  return a / b - (a % b < 0 ? 1 : 0);
}

std::int64_t CeilDivide(std::int64_t a, std::int64_t b) { return -FloorDivide(-a, b); }

// The lattice lines from the first at or above low to the last at or below
// high, as the first line's coordinate and the count; at least one line
// when at_least_one.
struct Lines {
  std::int64_t first = 0, count = 0;
};

Lines LinesWithin(std::int64_t anchor, int pitch, std::int64_t low, std::int64_t high,
                  bool at_least_one) {
  const std::int64_t j0 = CeilDivide(low - anchor, pitch);
  std::int64_t j1 = FloorDivide(high - anchor, pitch);
  if (j1 < j0 && at_least_one) j1 = j0;
  return {anchor + j0 * pitch, j1 - j0 + 1};
}

}  // namespace

Lattice ImageLattice(const Lattice& whole, const ModelExtent& extent,
                     const std::optional<PlanWindow>& window) {
  if (!window && extent.empty) return whole;
  PlanWindow w;
  if (window) {
    w = *window;
  } else {
    w = {extent.min.x, extent.min.y, extent.max.x, extent.max.y};
  }
  const bool any = !window;
  const Lines x = LinesWithin(whole.x_min, whole.pitch, w.x_min, w.x_max, any);
  const Lines y = LinesWithin(whole.y_min, whole.pitch, w.y_min, w.y_max, any);
  if (x.count < 1 || y.count < 1) {
    throw Exception("the bounds hold no point of the grid at this pitch");
  }
  const std::int64_t x_last = x.first + (x.count - 1) * whole.pitch;
  const std::int64_t y_last = y.first + (y.count - 1) * whole.pitch;
  if (x.first < INT32_MIN || y.first < INT32_MIN || x_last > INT32_MAX || y_last > INT32_MAX) {
    throw Exception("the bounds reach beyond the grid's range of +-53,687 m");
  }
  Lattice lattice = whole;
  lattice.x_min = static_cast<std::int32_t>(x.first);
  lattice.y_min = static_cast<std::int32_t>(y.first);
  lattice.y_max = static_cast<std::int32_t>(y_last);
  lattice.columns = x.count;
  lattice.rows = y.count;
  lattice.window = true;
  return lattice;
}

int PitchForPoints(const ModelBounds& bounds, const ModelExtent& extent,
                   const ImageSettings& settings) {
  Lattice finest;
  for (int pitch = 255; pitch >= 1; --pitch) {
    Lattice images;
    try {
      images = ImageLattice(LatticeOver(bounds, pitch), extent, settings.window);
    } catch (const Exception&) {
      continue;  // a window without a point at this pitch
    }
    if (images.columns >= settings.width_px && images.rows >= settings.height_px) return pitch;
    finest = images;
  }
  throw Exception("more points were asked for than the finest pitch (0.025 mm) gives: " +
                  std::to_string(finest.columns) + " x " + std::to_string(finest.rows));
}

}  // namespace pelmoro
