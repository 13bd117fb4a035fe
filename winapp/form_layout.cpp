#include "winapp/form_layout.h"

#include <cmath>

namespace pelmoro::winapp {

int WindowFontPixels(int dpi) {
  if (dpi <= 0) return kWindowFontPixels;
  return static_cast<int>(std::lround(kWindowFontPixels * static_cast<double>(dpi) / kDesignDpi));
}

double LayoutScale(int text_height) {
  if (text_height == kWindowFontPixels || text_height <= 0) return 1.0;
  return static_cast<double>(text_height) / kWindowFontPixels;
}

int Scaled(int px, double scale) { return static_cast<int>(std::lround(px * scale)); }

Place Scaled(const Place& place, double scale) {
  return Place{Scaled(place.left, scale), Scaled(place.top, scale), Scaled(place.width, scale),
               Scaled(place.height, scale)};
}

}  // namespace pelmoro::winapp
