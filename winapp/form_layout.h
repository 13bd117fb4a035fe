// Form1's designed geometry and the rule that scales it with the window
// font: the same places, sizes and fonts as the window on other systems.
#pragma once

namespace pelmoro::winapp {

// A rectangle in client coordinates, px.
struct Place {
  int left, top, width, height;
};

// The window as designed for a 12 px window font at 96 dots per inch.
inline constexpr int kClientWidth = 313;
inline constexpr int kClientHeight = 243;
inline constexpr int kWindowLeft = 195;
inline constexpr int kWindowTop = 108;
inline constexpr int kDesignDpi = 96;

inline constexpr Place kLabel1{192, 120, 24, 16};
inline constexpr Place kLabel2{82, 24, 147, 16};
inline constexpr Place kLabel3{48, 120, 65, 16};
inline constexpr Place kLabel4{16, 200, 122, 24};
inline constexpr Place kEdit1{137, 120, 37, 20};
inline constexpr Place kButton1{152, 192, 65, 41};
inline constexpr Place kButton2{232, 192, 65, 41};
inline constexpr Place kProgressBar1{24, 72, 265, 17};
inline constexpr Place kCheckBox1{48, 152, 97, 17};

// The window font's and the large font's character heights at 96 dots per
// inch, px.
inline constexpr int kWindowFontPixels = 12;
inline constexpr int kLargeFontPixels = 16;

// The window font's character height on a screen of dpi dots per inch:
// kWindowFontPixels in proportion, rounded.
int WindowFontPixels(int dpi);

// The factor by which the designed geometry and the large font grow: the
// window font's text height as rendered (px) over kWindowFontPixels, or
// exactly 1 when it measures kWindowFontPixels (or nothing).
double LayoutScale(int text_height);

// A designed length times scale, rounded to whole px.
int Scaled(int px, double scale);
Place Scaled(const Place& place, double scale);

}  // namespace pelmoro::winapp
