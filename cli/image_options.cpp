#include "cli/image_options.h"

#include "cli/options.h"

namespace pelmoro::cli {

namespace {

PngLevels ParsePngLevels(const std::string& text) {
  if (text == "full") return PngLevels::kFullRange;
  if (text == "units") return PngLevels::kUnits;
  throw UsageError("--png-levels takes full or units, not '" + text + "'");
}

int ParseBitDepth(const std::string& text) {
  if (text == "8") return 8;
  if (text == "16") return 16;
  throw UsageError("--bit-depth takes 8 or 16, not '" + text + "'");
}

}  // namespace

bool ApplyImageOption(ImageSettings& settings, std::string_view name, bool has_value,
                      const std::function<std::string()>& value) {
  const auto flag = [&](bool& setting) {
    if (has_value) throw UsageError(std::string(name) + " takes no value");
    setting = true;
  };
  if (name == "--fill") {
    flag(settings.fill);
  } else if (name == "--nodata") {
    flag(settings.png_alpha);
  } else if (name == "--png-levels") {
    settings.png_levels = ParsePngLevels(value());
  } else if (name == "--bit-depth") {
    settings.bit_depth = ParseBitDepth(value());
  } else {
    return false;
  }
  return true;
}

}  // namespace pelmoro::cli
