#include "app/message_boxes.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include "app/application_title.h"
#include "app/fp_environment_guard.h"

namespace pelmoro {
namespace {

// Messages carry Windows line ends ("Error!\r\n..."); the box breaks lines
// at "\n" alone.
QString DisplayText(std::string_view text) {
  QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  return shown;
}

// The box takes its final size only when it is shown; it is centred then,
// before it appears on the screen.
class CentredMessageBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
};

void ShowBox(QMessageBox::Icon icon, std::string_view text, bool close_at_once) {
  FpEnvironmentGuard keep_arithmetic;
  CentredMessageBox box(icon, ApplicationTitle(), DisplayText(text), QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  if (close_at_once) {
    // Queued before the box's own loop starts, so it runs right after the
    // box has been shown.
    QTimer::singleShot(0, &box, [&box] { box.done(QMessageBox::Ok); });
  }
  box.exec();
}

}  // namespace

void ShowMessageBox(std::string_view text, bool close_at_once) {
  ShowBox(QMessageBox::NoIcon, text, close_at_once);
}

void ShowErrorBox(std::string_view message, bool close_at_once) {
  ShowErrorBoxText(ErrorBoxText(message), close_at_once);
}

void ShowErrorBoxText(std::string_view text, bool close_at_once) {
  ShowBox(QMessageBox::Critical, text, close_at_once);
}

}  // namespace pelmoro
