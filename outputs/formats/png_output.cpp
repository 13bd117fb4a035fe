#include "outputs/formats/png_output.h"

#include <algorithm>

#include "foundation/errors.h"
#include "outputs/formats/grid_millimetres.h"

namespace pelmoro {

namespace {
std::int64_t LargestSample(int bit_depth) { return (std::int64_t{1} << bit_depth) - 1; }
}  // namespace

PixelScale PixelScaleFor(std::int32_t z_low, std::int32_t z_high, const ImageSettings& settings) {
  PixelScale scale;
  scale.low = z_low;
  scale.range = static_cast<std::int64_t>(z_high) - z_low;
  scale.top = LargestSample(settings.bit_depth);
  scale.units = settings.png_levels == PngLevels::kUnits;
  scale.inverted = settings.invert;
  if (scale.units && scale.range > scale.top) {
    throw Exception("the heights span " + std::to_string(scale.range) + " grid units; a " +
                    std::to_string(settings.bit_depth) +
                    "-bit PNG with one level per grid unit holds at most " +
                    std::to_string(scale.top));
  }
  return scale;
}

std::int64_t PixelScale::HeightAtZero() const { return inverted ? low + range : low; }

std::int64_t PixelScale::HeightAtTop() const {
  const std::int64_t steps = units ? top : range;
  return inverted ? low + range - steps : low + steps;
}

std::uint16_t PixelScale::PixelOf(std::int32_t z) const {
  // Above the lowest height, or below the highest for depths.
  const std::int64_t above = inverted ? low + range - z : static_cast<std::int64_t>(z) - low;
  if (units) return static_cast<std::uint16_t>(above);
  if (range == 0) return 0;
  // above * 65535 < 2^48: exact in 64 bits, as is the rounding half up.
  return static_cast<std::uint16_t>((2 * above * top + range) / (2 * range));
}

std::vector<PngText> HeightMapTexts(const Lattice& lattice, const PixelScale& scale) {
  return {{"pitch_mm", FormatMillimetres(lattice.pitch)},
          {"z_mm_at_0", FormatMillimetres(scale.HeightAtZero())},
          {"z_mm_at_" + std::to_string(scale.top), FormatMillimetres(scale.HeightAtTop())},
          {"x_mm", FormatMillimetres(lattice.x_min)},
          {"y_mm", FormatMillimetres(lattice.y_min)},
          {"Software", "stl2hzm"}};
}

std::uint64_t PngOutput::LeastFileBytes() const {
  PixelScale shortest;
  shortest.top = LargestSample(settings_.bit_depth);
  return PngSizeLowerBound(
      static_cast<std::uint64_t>(lattice_.columns), static_cast<std::uint64_t>(lattice_.rows),
      settings_.bit_depth / 8 * (settings_.png_alpha ? 2 : 1), HeightMapTexts(lattice_, shortest));
}

namespace {

// Writes a sample of `bytes` bytes, big-endian; returns the next place.
std::uint8_t* PutSample(std::uint8_t* at, std::uint16_t value, int bytes) {
  if (bytes == 2) *at++ = static_cast<std::uint8_t>(value >> 8);
  *at++ = static_cast<std::uint8_t>(value & 0xFF);
  return at;
}

}  // namespace

void PngOutput::Finish() {
  const bool alpha = settings_.png_alpha;
  std::int32_t low = heights_.low(), high = heights_.high();
  if (!alpha && heights_.has_gaps()) {
    // Points without a height are z min, as in the height map.
    low = std::min(low, heights_.floor());
    high = std::max(high, heights_.floor());
  }
  const PixelScale scale = PixelScaleFor(low, high, settings_);
  const auto rows = heights_.rows();
  const int bytes = settings_.bit_depth / 8;
  const auto top = static_cast<std::uint16_t>(scale.top);
  PngEncoder png(out_, static_cast<std::uint32_t>(lattice_.columns),
                 static_cast<std::uint32_t>(rows), settings_.bit_depth,
                 HeightMapTexts(lattice_, scale), alpha);
  std::vector<std::int32_t> row;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(lattice_.columns) * bytes *
                                   (alpha ? 2 : 1));
  for (std::int64_t r = rows - 1; r >= 0; --r) {
    heights_.ReadRow(r, row);
    std::uint8_t* at = pixels.data();
    for (const std::int32_t z : row) {
      if (z == kNoHeight) {
        at = PutSample(at, alpha ? 0 : scale.PixelOf(heights_.floor()), bytes);
        if (alpha) at = PutSample(at, 0, bytes);  // transparent
        continue;
      }
      at = PutSample(at, scale.PixelOf(z), bytes);
      if (alpha) at = PutSample(at, top, bytes);  // opaque
    }
    png.WriteRow(pixels);
  }
  png.Finish();
}

}  // namespace pelmoro
