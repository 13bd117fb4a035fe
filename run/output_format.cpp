#include "run/output_format.h"

#include <cctype>

namespace pelmoro {

namespace {

bool EndsWithIgnoringCase(std::string_view name, std::string_view end) {
  if (name.size() < end.size()) return false;
  name.remove_prefix(name.size() - end.size());
  for (std::size_t i = 0; i < end.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(name[i])) != end[i]) return false;
  }
  return true;
}

}  // namespace

OutputFormat FormatOfName(std::string_view name) {
  if (EndsWithIgnoringCase(name, ".png")) return OutputFormat::kPng;
  if (EndsWithIgnoringCase(name, ".asc")) return OutputFormat::kAsc;
  if (EndsWithIgnoringCase(name, ".tif") || EndsWithIgnoringCase(name, ".tiff")) {
    return OutputFormat::kTif;
  }
  return OutputFormat::kHzm;
}

std::optional<OutputFormat> FormatOfExtension(std::string_view name) {
  if (EndsWithIgnoringCase(name, ".hzm")) return OutputFormat::kHzm;
  if (EndsWithIgnoringCase(name, ".png")) return OutputFormat::kPng;
  if (EndsWithIgnoringCase(name, ".asc")) return OutputFormat::kAsc;
  if (EndsWithIgnoringCase(name, ".tif") || EndsWithIgnoringCase(name, ".tiff")) {
    return OutputFormat::kTif;
  }
  return std::nullopt;
}

std::string KnownExtensionsText() { return ".hzm, .png, .asc or .tif"; }

std::optional<OutputFormat> ParseFormatName(std::string_view text) {
  if (text == "hzm") return OutputFormat::kHzm;
  if (text == "png") return OutputFormat::kPng;
  if (text == "asc") return OutputFormat::kAsc;
  if (text == "tif") return OutputFormat::kTif;
  return std::nullopt;
}

std::string_view ExtensionOf(OutputFormat format) {
  switch (format) {
    case OutputFormat::kPng:
    case OutputFormat::kPreview:
      return "png";
    case OutputFormat::kAsc:
      return "asc";
    case OutputFormat::kTif:
      return "tif";
    case OutputFormat::kPrj:
      return "prj";
    case OutputFormat::kWorld:
      return "pgw";
    case OutputFormat::kHzm:
      break;
  }
  return "hzm";
}

bool CoversImageWindow(OutputFormat format) {
  switch (format) {
    case OutputFormat::kPng:
    case OutputFormat::kAsc:
    case OutputFormat::kTif:
    case OutputFormat::kPrj:
    case OutputFormat::kWorld:
      return true;
    case OutputFormat::kHzm:
    case OutputFormat::kPreview:
      break;
  }
  return false;
}

}  // namespace pelmoro
