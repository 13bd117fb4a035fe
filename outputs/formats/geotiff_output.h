// The height map as a GeoTIFF, through libtiff and libgeotiff: one band of
// 32-bit floats, the heights in the model's unit (or the depths below the
// highest height, inverted), the top row at the highest y; 256 x 256 tiles
// deflated; georeferenced by ModelPixelScale and a ModelTiepoint at the
// upper-left corner of the upper-left pixel (each pixel the area around its
// grid point, as the ESRI grid's cells), with the reference system's keys
// when the settings name one. A point no triangle covers is the
// GDAL_NODATA value (the ESRI grid's NODATA_value), or z min with the
// settings' fill (and then the file has no such tag). A file whose data
// could pass 4 GiB is a BigTIFF.
//
// As the ESRI grid, it is made at Finish from the run's height table, one
// row of tiles at a time, into a scratch file that is then copied into the
// output: TIFF is not written front to back.
#pragma once

#include <cstdint>
#include <string>

#include "outputs/formats/height_rows.h"
#include "outputs/formats/image_settings.h"
#include "outputs/formats/map_output.h"

namespace pelmoro {

// Whether this build writes GeoTIFF (libtiff and libgeotiff were found).
bool GeoTiffBuilt();

// The side of a tile, in pixels.
inline constexpr std::int64_t kTiffTileSide = 256;

// Whether a GeoTIFF of columns x rows pixels is made a BigTIFF: when its
// tiles, deflated at worst (a little larger than raw), and their tables
// could pass 4 GiB.
bool NeedsBigTiff(std::int64_t columns, std::int64_t rows);

class GeoTiffOutput : public GeoreferencedOutput {
 public:
  // near: where the output goes, for the scratch file.
  GeoTiffOutput(TextFile& out, const HeightRows& heights, const ImageSettings& settings,
                std::string near)
      : GeoreferencedOutput(out, heights, settings), near_(std::move(near)) {}

  // Writes the rows scanned, the highest first. Raises Exception when this
  // build has no GeoTIFF, when libtiff refuses a step, and EInOutError for
  // the scratch file or the output.
  void Finish() override;
  // The header and directory, which every GeoTIFF has at least.
  std::uint64_t LeastFileBytes() const override;

 private:
  std::string near_;
};

}  // namespace pelmoro
