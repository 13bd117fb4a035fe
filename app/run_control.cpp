// Form1's side of its conversion runs: the click handlers and the engine's
// calls passed on to the run logic (control/window_controller.h), and the
// controls, dialogs and boxes as that logic works them (WindowView).
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/fp_environment_guard.h"
#include "app/main_window.h"
#include "app/message_boxes.h"

namespace pelmoro {
namespace {

std::string FileNameBytes(const QString& name) { return QFile::encodeName(name).toStdString(); }

QString FileNameText(const std::string& bytes) {
  return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace

std::uint8_t TForm1::ParsePitch(const QString& text) {
  return static_cast<std::uint8_t>(controller_.ParsePitch(text.toStdString()));
}

// The engine's calls of the run come to the window first (a window that
// watches them overrides these), then go on to the controller.
void TForm1::Button1Click() { controller_.Button1Click(*this); }

void TForm1::Button2Click() { controller_.Button2Click(); }

void TForm1::EndForSignal() { controller_.EndForSignal(); }

void TForm1::PhaseStarted(RunPhase phase, std::int64_t total) {
  controller_.PhaseStarted(phase, total);
}

void TForm1::SetProgress(int position, std::int64_t done) {
  controller_.SetProgress(position, done);
}

void TForm1::ProcessMessages() { controller_.ProcessMessages(); }

void TForm1::WhileWaiting() { controller_.WhileWaiting(); }

bool TForm1::StopRequested() { return controller_.StopRequested(); }

bool TForm1::FirstCoveringWanted() { return controller_.FirstCoveringWanted(); }

std::string TForm1::PitchText() { return Edit1->text().toStdString(); }

bool TForm1::SurfaceChecked() { return CheckBox1->isChecked(); }

bool TForm1::Button1Enabled() { return Button1->isEnabled(); }

void TForm1::SetButton1Enabled(bool enabled) { Button1->setEnabled(enabled); }

std::string TForm1::Button2Caption() { return Button2->text().toStdString(); }

void TForm1::SetButton2Caption(const std::string& caption) {
  Button2->setText(QString::fromStdString(caption));
}

void TForm1::SetProgress(int position) { ProgressBar1->setValue(position); }

void TForm1::ShowMessageBox(const std::string& text, bool close_by_itself) {
  pelmoro::ShowMessageBox(text, close_by_itself);
}

void TForm1::ShowErrorBox(const std::string& text, bool close_by_itself) {
  ShowErrorBoxText(text, close_by_itself);
}

bool TForm1::AskInputName(std::string* name) { return AskFileName(OpenDialog1, name); }

bool TForm1::AskOutputName(const std::string& proposed, std::string* name) {
  SaveDialog1->selectFile(FileNameText(proposed));
  return AskFileName(SaveDialog1, name);
}

bool TForm1::AskFileName(QFileDialog* dialog, std::string* confirmed) {
  FpEnvironmentGuard keep_arithmetic;
  if (dialog->exec() != QDialog::Accepted) return false;
  const QStringList names = dialog->selectedFiles();
  if (names.isEmpty() || names.first().isEmpty()) return false;
  dialog->selectFile(names.first());  // proposed again at the next showing
  *confirmed = FileNameBytes(names.first());
  return true;
}

void TForm1::ProcessPendingMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TForm1::CloseOpenDialogs() {
  while (QWidget* modal = QApplication::activeModalWidget()) {
    if (!modal->close()) break;
  }
}

void TForm1::CloseWindow() { close(); }

bool TForm1::HoldFocusFromButton1() {
  // The window's focus child counts even while a closing dialog has not yet
  // given activation back.
  if (focusWidget() != Button1) return false;
  setFocus(Qt::OtherFocusReason);
  return true;
}

void TForm1::RestoreFocusToButton1() { Button1->setFocus(Qt::OtherFocusReason); }

}  // namespace pelmoro
