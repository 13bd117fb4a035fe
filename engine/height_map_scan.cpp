#include "engine/height_map_scan.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "engine/coverage.h"
#include "foundation/real.h"

namespace pelmoro {

namespace {

// Height of one grid point: the highest covering plane, or with Surface on
// the first covering triangle in table order; never below z min. Surface
// is read afresh at every covering triangle.
std::int32_t PointHeight(const GeometryStore& store, std::int32_t count, std::int32_t x,
                         std::int32_t y, RunDriver& driver) {
  std::int32_t h = store.bounds().z_min;
  for (std::int32_t i = 0; i < count; ++i) {
    if (!TriangleCovers(store, i, x, y)) continue;
    const std::int32_t z = TriangleHeightAt(store, i, x, y);
    if (z > h) h = z;
    if (driver.SurfaceChecked()) break;
  }
  return h;
}

}  // namespace

int ScanProgress(std::int64_t next_y, std::int32_t y_max) {
  // y max is never negative; at 0 the quotient has no value, and the bar
  // shows full once the rows have passed y = 0, empty before.
  if (y_max == 0) return next_y > 0 ? 100 : 0;
  const std::int64_t v =
      TruncateReal(static_cast<Real>(next_y) / static_cast<Real>(y_max) * 100);
  return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

std::int32_t ColumnCount(const ModelBounds& b, int pitch) {
  return static_cast<std::int32_t>((std::int64_t{b.x_max} - b.x_min) / pitch + 1);
}

std::int32_t RowCount(const ModelBounds& b, int pitch) {
  return static_cast<std::int32_t>((std::int64_t{b.y_max} - b.y_min) / pitch + 1);
}

void ScanHeightMap(const GeometryStore& store, int pitch, std::int32_t count, RunDriver& driver,
                   RowSink& sink) {
  const ModelBounds& b = store.bounds();
  std::vector<std::int32_t> heights(static_cast<std::size_t>(ColumnCount(b, pitch)));
  std::string text;
  // Coordinates advance in 64 bits, so a lattice near the end of the 32-bit
  // range ends instead of wrapping around.
  for (std::int64_t y = b.y_min; y <= b.y_max;) {
    std::size_t column = 0;
    for (std::int64_t x = b.x_min; x <= b.x_max; x += pitch) {
      heights[column++] = PointHeight(store, count, static_cast<std::int32_t>(x),
                                      static_cast<std::int32_t>(y), driver);
    }
    text.clear();
    sink.FormatRow(static_cast<std::int32_t>(y), b.x_min, pitch, heights, text);
    sink.WriteRow(text);
    y += pitch;
    driver.SetProgress(ScanProgress(y, b.y_max));
    driver.ProcessMessages();
    if (driver.StopRequested()) break;
  }
  driver.SetProgress(0);
}

}  // namespace pelmoro
