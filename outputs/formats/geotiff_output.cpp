#include "outputs/formats/geotiff_output.h"

namespace pelmoro {

bool NeedsBigTiff(std::int64_t columns, std::int64_t rows) {
  const std::int64_t across = (columns + kTiffTileSide - 1) / kTiffTileSide;
  const std::int64_t down = (rows + kTiffTileSide - 1) / kTiffTileSide;
  const long double tiles = static_cast<long double>(across) * static_cast<long double>(down);
  // Deflate's worst case: its stored blocks add 5 bytes to every 16 KiB and
  // a few bytes a stream; 16 bytes a tile for its two table entries; 1 MiB
  // for the header, the directory and the keys.
  const long double raw = tiles * kTiffTileSide * kTiffTileSide * 4;
  const long double most = raw * (1 + 5.0L / 16384) + tiles * (16 + 64) + (1 << 20);
  return most > 4294967295.0L;
}

std::uint64_t GeoTiffOutput::LeastFileBytes() const { return 8; }

}  // namespace pelmoro
