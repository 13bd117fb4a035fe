#include "outputs/formats/png_size.h"

#include "outputs/formats/byte_count.h"

namespace pelmoro {

std::uint64_t PngSizeLowerBound(std::uint64_t width, std::uint64_t height, int bytes_per_pixel,
                                const std::vector<PngText>& texts) {
  constexpr std::uint64_t kChunkFrame = 12;  // length, type, CRC
  constexpr std::uint64_t kSignature = 8, kHeaderData = 13, kZlibFrame = 2 + 4;
  constexpr std::uint64_t kDeflateBest = 1032;
  std::uint64_t bytes = kSignature + kChunkFrame + kHeaderData + kChunkFrame;  // IHDR, IEND
  for (const PngText& text : texts) {
    bytes += kChunkFrame + text.first.size() + 1 + 1;  // keyword, 0 byte, a value
  }
  bytes += kChunkFrame + kZlibFrame;
  const std::uint64_t row =
      AddBytes(1, MultiplyBytes(width, static_cast<std::uint64_t>(bytes_per_pixel)));
  return AddBytes(bytes, MultiplyBytes(height, row) / kDeflateBest);
}

}  // namespace pelmoro
