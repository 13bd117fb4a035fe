#include "outputs/formats/png_output.h"

#include <algorithm>

#include "outputs/formats/grid_millimetres.h"

namespace pelmoro {

namespace {
constexpr std::int64_t kTop = 65535;
}  // namespace

PixelScale PixelScaleFor(std::int32_t z_low, std::int32_t z_high) {
  return {z_low, static_cast<std::int64_t>(z_high) - z_low};
}

std::int64_t PixelScale::HeightAtTop() const { return low + std::max(range, kTop); }

std::uint16_t PixelScale::PixelOf(std::int32_t z) const {
  const std::int64_t above = static_cast<std::int64_t>(z) - low;
  if (range <= kTop) return static_cast<std::uint16_t>(above);
  // above * 65535 < 2^48: exact in 64 bits, as is the rounding half up.
  return static_cast<std::uint16_t>((2 * above * kTop + range) / (2 * range));
}

std::vector<PngText> HeightMapTexts(const Lattice& lattice, const PixelScale& scale) {
  return {{"pitch_mm", FormatMillimetres(lattice.pitch)},
          {"z_mm_at_0", FormatMillimetres(scale.low)},
          {"z_mm_at_65535", FormatMillimetres(scale.HeightAtTop())},
          {"x_mm", FormatMillimetres(lattice.x_min)},
          {"y_mm", FormatMillimetres(lattice.y_min)},
          {"Software", "stl2hzm"}};
}

std::uint64_t PngOutput::LeastFileBytes() const {
  return PngSizeLowerBound(static_cast<std::uint64_t>(lattice_.columns),
                           static_cast<std::uint64_t>(lattice_.rows), 2,
                           HeightMapTexts(lattice_, PixelScale{}));
}

void PngOutput::Finish() {
  const PixelScale scale = PixelScaleFor(heights_.low(), heights_.high());
  const auto rows = heights_.rows();
  PngEncoder png(out_, static_cast<std::uint32_t>(lattice_.columns),
                 static_cast<std::uint32_t>(rows), 16, HeightMapTexts(lattice_, scale));
  std::vector<std::int32_t> row;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(lattice_.columns) * 2);
  for (std::int64_t r = rows - 1; r >= 0; --r) {
    heights_.ReadRow(r, row);
    for (std::size_t k = 0; k < row.size(); ++k) {
      const std::uint16_t p = scale.PixelOf(row[k]);
      pixels[2 * k] = static_cast<std::uint8_t>(p >> 8);
      pixels[2 * k + 1] = static_cast<std::uint8_t>(p & 0xFF);
    }
    png.WriteRow(pixels);
  }
  png.Finish();
}

}  // namespace pelmoro
