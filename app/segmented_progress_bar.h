// The run's progress bar, filled in segments as the classic system bar is.
#pragma once

#include <QProgressBar>

namespace pelmoro {

// A horizontal QProgressBar that draws its value as a row of blocks in the
// highlight colour inside a sunken frame, without text.
class SegmentedProgressBar : public QProgressBar {
 public:
  explicit SegmentedProgressBar(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace pelmoro
