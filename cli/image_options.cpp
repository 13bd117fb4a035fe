#include "cli/image_options.h"

#include <climits>
#include <cstdint>
#include <vector>

#include "cli/catalog.h"
#include "cli/options.h"
#include "foundation/wide_int.h"

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

// A decimal as a fraction: sign, digits, at most one "." and up to 18
// digits in all, so that the numerator times any unit fits in 128 bits.
struct Decimal {
  Int128 numerator = 0;
  std::int64_t denominator = 1;
};

bool ParseDecimal(std::string_view text, Decimal& out) {
  std::size_t at = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) at = 1;
  int digits = 0;
  bool point = false;
  out = {};
  for (; at < text.size(); ++at) {
    if (text[at] == '.' && !point) {
      point = true;
      continue;
    }
    if (text[at] < '0' || text[at] > '9' || ++digits > 18) return false;
    out.numerator = out.numerator * 10 + (text[at] - '0');
    if (point) out.denominator *= 10;
  }
  if (negative) out.numerator = -out.numerator;
  return digits > 0;
}

// floor or ceiling of numerator / denominator, denominator > 0.
Int128 FloorOf(Int128 n, std::int64_t d) { return n / d - (n % d < 0 ? 1 : 0); }
Int128 CeilOf(Int128 n, std::int64_t d) { return -FloorOf(-n, d); }

std::vector<Decimal> ParseBounds(const std::string& text) {
  std::vector<Decimal> values;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t comma = text.find(',', begin);
    Decimal d;
    if (!ParseDecimal(std::string_view(text).substr(begin, comma - begin), d)) break;
    values.push_back(d);
    if (comma == std::string::npos) break;
    begin = comma + 1;
  }
  const auto above = [](const Decimal& a, const Decimal& b) {
    return a.numerator * b.denominator > b.numerator * a.denominator;
  };
  if (values.size() != 4 || !above(values[2], values[0]) || !above(values[3], values[1])) {
    throw UsageError("--bounds takes X0,Y0,X1,Y1 with X0 < X1 and Y0 < Y1, not '" + text + "'");
  }
  return values;
}

std::int64_t ClampToInt64(Int128 v) {
  return v > INT64_MAX ? INT64_MAX : v < INT64_MIN ? INT64_MIN : static_cast<std::int64_t>(v);
}

std::int64_t ParsePoints(std::string_view name, const std::string& text) {
  std::int64_t n = 0;
  for (const char c : text) {
    if (c < '0' || c > '9' || n > (INT64_C(1) << 31)) {
      n = 0;
      break;
    }
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > (INT64_C(1) << 31)) {
    throw UsageError(std::string(name) +
                     " needs a whole number of points from 1 to 2147483648, not '" + text + "'");
  }
  return n;
}

}  // namespace

ImageSettings ImageSettingsFor(const ImageOptions& options, int units) {
  ImageSettings settings = options.settings;
  if (options.bounds.empty()) return settings;
  const std::vector<Decimal> v = ParseBounds(options.bounds);
  const auto low = [&](const Decimal& d) {
    return ClampToInt64(CeilOf(d.numerator * units, d.denominator));
  };
  const auto high = [&](const Decimal& d) {
    return ClampToInt64(FloorOf(d.numerator * units, d.denominator));
  };
  settings.window = PlanWindow{low(v[0]), low(v[1]), high(v[2]), high(v[3])};
  return settings;
}

ShiftRequest ShiftRequestFor(const std::string& text, int units, bool syntax_only) {
  ShiftRequest request;
  if (text.empty()) return request;
  if (text == "auto") {
    request.automatic = true;
    return request;
  }
  const std::size_t comma = text.find(',');
  Decimal x, y;
  if (comma == std::string::npos || !ParseDecimal(std::string_view(text).substr(0, comma), x) ||
      !ParseDecimal(std::string_view(text).substr(comma + 1), y)) {
    throw UsageError(Translate("--shift takes auto or X,Y, not '{text}'", {{"text", text}}));
  }
  if (syntax_only) return request;
  const auto whole = [&](const Decimal& d, std::int64_t& out) {
    const Int128 grid = d.numerator * units;
    if (grid % d.denominator != 0) return false;
    const Int128 value = grid / d.denominator;
    if (value > kLargestShift || value < -kLargestShift) return false;
    out = static_cast<std::int64_t>(value);
    return true;
  };
  if (!whole(x, request.shift.x) || !whole(y, request.shift.y)) {
    throw UsageError(
        Translate("--shift: '{text}' is no whole number of grid units (0.025 mm) within 27,487 km",
                  {{"text", text}}));
  }
  return request;
}

bool ApplyImageOption(ImageOptions& options, std::string_view name, bool has_value,
                      const std::function<std::string()>& value) {
  ImageSettings& settings = options.settings;
  const auto flag = [&](bool& setting) {
    if (has_value) throw UsageError(std::string(name) + " takes no value");
    setting = true;
  };
  if (name == "--fill") {
    flag(settings.fill);
  } else if (name == "--nodata") {
    flag(settings.png_alpha);
  } else if (name == "--invert") {
    flag(settings.invert);
  } else if (name == "--bounds") {
    options.bounds = value();
    ParseBounds(options.bounds);
  } else if (name == "--width-px") {
    settings.width_px = ParsePoints(name, value());
  } else if (name == "--height-px") {
    settings.height_px = ParsePoints(name, value());
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
