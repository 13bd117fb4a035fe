#include "app/window_fonts.h"

#include <QFontMetrics>
#include <QStringList>
#include <cmath>

namespace pelmoro {
namespace {

QFont DesignFont(int pixels) {
  QFont font(QString::fromUtf8(kWindowFontFamily));
  font.setPixelSize(pixels);
  font.setWeight(QFont::Normal);
  font.setStyle(QFont::StyleNormal);
  return font;
}

}  // namespace

void RegisterFontSubstitutes() {
  // Proportional Japanese gothic faces first, as close to the design font as
  // the usual Linux packages come; fixed-pitch and generic ones after.
  static const QStringList substitutes = {
      QStringLiteral("IPAPGothic"),       QStringLiteral("IPA Pゴシック"),
      QStringLiteral("VL PGothic"),       QStringLiteral("TakaoPGothic"),
      QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Source Han Sans JP"),
      QStringLiteral("IPAGothic"),        QStringLiteral("Droid Sans Fallback"),
      QStringLiteral("Sans Serif"),
  };
  const QString family = QString::fromUtf8(kWindowFontFamily);
  if (QFont::substitutes(family) != substitutes) {
    QFont::removeSubstitutions(family);
    QFont::insertSubstitutions(family, substitutes);
  }
}

QFont WindowFont() { return DesignFont(kWindowFontPixels); }

QFont LargeFont(double scale) {
  return DesignFont(static_cast<int>(std::lround(kLargeFontPixels * scale)));
}

int TextHeight(const QFont& font) { return QFontMetrics(font).height(); }

double LayoutScale(const QFont& window_font) {
  const int height = TextHeight(window_font);
  if (height == kWindowFontPixels || height <= 0) return 1.0;
  return static_cast<double>(height) / kWindowFontPixels;
}

}  // namespace pelmoro
