// How the image and grid outputs (PNG, ESRI grid) render the heights of a
// run. The height map and the preview never look at these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pelmoro {

// A window in plan view, in grid units, edges included.
struct PlanWindow {
  std::int64_t x_min = 0, y_min = 0, x_max = 0, y_max = 0;
};

// What a PNG's pixel values stand for.
enum class PngLevels {
  kFullRange,  // 0 the map's lowest height, the largest value its highest
  kUnits,      // one level per grid unit above the lowest height
};

// A reference system, as --crs names it.
struct ReferenceSystem {
  int epsg = 0;             // the EPSG code; 0: none named
  bool geographic = false;  // latitude and longitude, else projected
  std::string esri_wkt;     // its WKT in ESRI's dialect, for a .prj file
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
  // The window the images and grids cover; without it, the model's own
  // extent in plan view.
  std::optional<PlanWindow> window = std::nullopt;
  // When not 0: the pitch is the largest (in whole grid units) that gives
  // the images at least this many points across, or up.
  std::int64_t width_px = 0;
  std::int64_t height_px = 0;
  // Depths instead of heights: the PNG's 0 and the grid's 0 are the map's
  // highest height, the grid's values the depths below it.
  bool invert = false;
  // The model's unit, in grid units (40: millimetres): the grids give
  // heights and coordinates in it.
  int units = 40;
  // Grid units added back to the plan-view coordinates the grids and the
  // world file give: the shift subtracted as the model was read, so that
  // they sit at the model's own coordinates.
  std::int64_t origin_x = 0, origin_y = 0;
  // The reference system the GeoTIFF and the ESRI grid's .prj name.
  ReferenceSystem crs = {};
};

}  // namespace pelmoro
