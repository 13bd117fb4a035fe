// Which file formats a run writes, and how a name chooses one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelmoro {

enum class OutputFormat {
  kHzm,      // the HZM height map
  kPng,      // 16-bit grayscale PNG of the heights
  kAsc,      // ESRI ASCII grid in millimetres
  kPreview,  // 8-bit shaded relief picture
  kTif,      // GeoTIFF of 32-bit float heights in the model's unit
  kPrj,      // the reference system beside an ESRI grid (--crs)
  kWorld,    // the world file beside a PNG (--world-file)
};

// PNG for a name ending in ".png", the ESRI grid for ".asc", GeoTIFF for
// ".tif" and ".tiff" (each in any case), the HZM height map for every other
// name.
OutputFormat FormatOfName(std::string_view name);

// The format whose extension ends the name (".hzm", ".png", ".asc", ".tif"
// or ".tiff", in any case); nothing for a name that ends in no known
// extension.
std::optional<OutputFormat> FormatOfExtension(std::string_view name);

// The known extensions as a user reads them: ".hzm, .png, .asc or .tif".
std::string KnownExtensionsText();

// "hzm", "png", "asc" or "tif"; nothing for any other text.
std::optional<OutputFormat> ParseFormatName(std::string_view text);

// The extension, without the ".", that names a file of the format.
std::string_view ExtensionOf(OutputFormat format);

// Whether the format covers the images' window (the crop, --bounds) rather
// than the height map's whole lattice: the images, the grids and the files
// beside them.
bool CoversImageWindow(OutputFormat format);

struct OutputRequest {
  std::string path;
  OutputFormat format = OutputFormat::kHzm;
  // When >= 0, written to this open descriptor (standard output) directly;
  // path only names it.
  int descriptor = -1;
};

}  // namespace pelmoro
