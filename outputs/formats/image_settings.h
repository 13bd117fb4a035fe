// How the image and grid outputs (PNG, ESRI grid) render the heights of a
// run. The height map and the preview never look at these.
#pragma once

namespace pelmoro {

// What a PNG's pixel values stand for.
enum class PngLevels {
  kFullRange,  // 0 the map's lowest height, the largest value its highest
  kUnits,      // one level per grid unit above the lowest height
};

struct ImageSettings {
  PngLevels png_levels = PngLevels::kFullRange;
  int bit_depth = 16;  // of the PNG's gray samples: 8 or 16
  // The grids give the points no triangle covers z min, as the height map
  // does, instead of NODATA.
  bool fill = false;
  // The PNG is gray and alpha, transparent where no triangle covers a
  // point; without it those points are z min.
  bool png_alpha = false;
};

}  // namespace pelmoro
