// The height map as a grayscale PNG, 16 bits (or 8) a pixel: one pixel per
// grid point, the top row at the highest y, the left column at the lowest
// x. With z_low and z_high the lowest and highest heights in the map and T
// the largest sample (65535, or 255 at 8 bits), a pixel is by default
// (z - z_low) * T / (z_high - z_low) rounded half up (0 everywhere for a
// level map); with one level per grid unit it is z - z_low, and a map whose
// heights span more than T units is refused. Text chunks say how to read it
// back:
//   pitch_mm          the grid spacing
//   z_mm_at_0         the height of pixel value 0 (z_low)
//   z_mm_at_T         the height of pixel value T (z_mm_at_65535, or
//                     z_mm_at_255 at 8 bits)
//   x_mm, y_mm        the lower-left grid point
// so a pixel p stands for z_mm_at_0 + p * (z_mm_at_T - z_mm_at_0) / T.
// Inverted (depths), the same with z_high - z for z - z_low: pixel 0 is the
// highest height, and the chunks say so (z_mm_at_0 is z_high).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "outputs/formats/height_rows.h"
#include "outputs/formats/image_settings.h"
#include "outputs/formats/map_output.h"
#include "outputs/formats/png_encoder.h"

namespace pelmoro {

// How heights become pixel values.
struct PixelScale {
  std::int32_t low = 0;      // z of pixel value 0
  std::int64_t range = 0;    // z_high - z_low
  std::int64_t top = 65535;  // the largest pixel value
  bool units = false;        // one level per grid unit
  bool inverted = false;     // depths: pixel 0 the highest height
  // Pixel values 0 and `top` stand for these heights.
  std::int64_t HeightAtZero() const;
  std::int64_t HeightAtTop() const;
  std::uint16_t PixelOf(std::int32_t z) const;
};

// The scale of a map whose heights run from z_low to z_high. Raises
// Exception when one level per unit cannot hold the range.
PixelScale PixelScaleFor(std::int32_t z_low, std::int32_t z_high, const ImageSettings& settings);

// The text chunks of a map on this lattice with this scale.
std::vector<PngText> HeightMapTexts(const Lattice& lattice, const PixelScale& scale);

class PngOutput : public HeightTableOutput {
 public:
  PngOutput(TextFile& out, const HeightRows& heights, const ImageSettings& settings = {})
      : HeightTableOutput(out, heights), settings_(settings) {}

  // Encodes the rows scanned, the highest first.
  void Finish() override;
  std::uint64_t LeastFileBytes() const override;

 private:
  ImageSettings settings_;
};

}  // namespace pelmoro
