// The height map as a 16-bit grayscale PNG: one pixel per grid point, the
// top row at the highest y, the left column at the lowest x. With z_low and
// z_high the lowest and highest heights in the map, a pixel is z - z_low
// while z_high - z_low <= 65535 grid units, else (z - z_low) * 65535 /
// (z_high - z_low) rounded half up. Text chunks say how to read it back:
//   pitch_mm          the grid spacing
//   z_mm_at_0         the height of pixel value 0 (z_low)
//   z_mm_at_65535     the height of pixel value 65535
//   x_mm, y_mm        the lower-left grid point
// so a pixel p stands for z_mm_at_0 + p * (z_mm_at_65535 - z_mm_at_0) / 65535.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "outputs/formats/height_rows.h"
#include "outputs/formats/map_output.h"
#include "outputs/formats/png_encoder.h"

namespace pelmoro {

// How heights become pixel values.
struct PixelScale {
  std::int32_t low = 0;    // z of pixel value 0
  std::int64_t range = 0;  // z_high - z_low
  // Pixel value 65535 stands for this height.
  std::int64_t HeightAtTop() const;
  std::uint16_t PixelOf(std::int32_t z) const;
};

PixelScale PixelScaleFor(std::int32_t z_low, std::int32_t z_high);

// The text chunks of a map on this lattice with this scale.
std::vector<PngText> HeightMapTexts(const Lattice& lattice, const PixelScale& scale);

class PngOutput : public HeightTableOutput {
 public:
  using HeightTableOutput::HeightTableOutput;

  // Encodes the rows scanned, the highest first.
  void Finish() override;
  std::uint64_t LeastFileBytes() const override;
};

}  // namespace pelmoro
