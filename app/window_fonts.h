// The window's two fonts and the fonts that stand in for them on systems
// without "ＭＳ Ｐゴシック".
#pragma once

#include <QFont>

namespace pelmoro {

// The family the window is designed for, and its two character heights at
// 96 dots per inch (in px).
inline constexpr char kWindowFontFamily[] = "ＭＳ Ｐゴシック";
inline constexpr int kWindowFontPixels = 12;
inline constexpr int kLargeFontPixels = 16;

// Registers Japanese-capable proportional sans fonts (IPAPGothic first) as
// substitutes for kWindowFontFamily, so that the window and Japanese
// messages never show missing-glyph boxes. Needs a QGuiApplication; calling
// it again changes nothing.
void RegisterFontSubstitutes();

// The window font: kWindowFontFamily, regular, kWindowFontPixels px.
QFont WindowFont();

// The large font of the labels, buttons and check box: kLargeFontPixels px
// times scale (the window's layout scale), rounded to whole pixels.
QFont LargeFont(double scale);

// The text height of a font in px, the measure the layout scale compares
// with kWindowFontPixels: ascent plus descent of the font as rendered.
int TextHeight(const QFont& font);

// The factor by which the window's designed geometry and large font grow:
// TextHeight(window_font) / kWindowFontPixels, or exactly 1 when the font
// measures kWindowFontPixels.
double LayoutScale(const QFont& window_font);

}  // namespace pelmoro
