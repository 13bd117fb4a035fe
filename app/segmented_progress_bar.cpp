#include "app/segmented_progress_bar.h"

#include <QPainter>
#include <QStyleOptionFrame>
#include <algorithm>

namespace pelmoro {
namespace {

constexpr int kFrame = 2;  // sunken border and inner margin, px
constexpr int kGap = 2;    // between two blocks, px

}  // namespace

SegmentedProgressBar::SegmentedProgressBar(QWidget* parent) : QProgressBar(parent) {
  setTextVisible(false);
}

void SegmentedProgressBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionFrame frame;
  frame.initFrom(this);
  frame.lineWidth = 1;
  frame.midLineWidth = 0;
  frame.state |= QStyle::State_Sunken;
  painter.fillRect(rect(), palette().base());
  style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);

  const QRect inside = rect().adjusted(kFrame, kFrame, -kFrame, -kFrame);
  const int span = maximum() - minimum();
  if (inside.isEmpty() || span <= 0) return;
  const int done = std::clamp(value() - minimum(), 0, span);
  const int filled = static_cast<int>(static_cast<long long>(inside.width()) * done / span);
  // Blocks about two thirds as wide as the bar is high, as the system draws them.
  const int block = std::max(2, inside.height() * 2 / 3);
  painter.setClipRect(inside.adjusted(0, 0, filled - inside.width(), 0));
  for (int x = inside.left(); x < inside.left() + filled; x += block + kGap) {
    painter.fillRect(QRect(x, inside.top(), block, inside.height()), palette().highlight());
  }
}

}  // namespace pelmoro
