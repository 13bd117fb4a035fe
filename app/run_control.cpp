// Form1's conversion runs: the two click handlers, the pitch check, the file
// dialogs, and the window's side of the engine's driver interface.
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <exception>
#include <new>

#include "app/fp_environment_guard.h"
#include "app/main_window.h"
#include "app/message_boxes.h"
#include "app/window_language.h"
#include "foundation/numbers.h"
#include "run/conversion_run.h"
#include "run/messages.h"
#include "run/output_name.h"
#include "run/pitch.h"

namespace pelmoro {
namespace {

// Button2's two captions. "Exit" seen during a run is the stop request.
const QString kExitCaption = QStringLiteral("Exit");
const QString kStopCaption = QStringLiteral("Stop");

// Raised from the message pass once a termination signal asked for the run
// to be abandoned; the run then abandons its output.
struct RunAbandoned {};

std::string FileNameBytes(const QString& name) { return QFile::encodeName(name).toStdString(); }

QString FileNameText(const std::string& bytes) {
  return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace

std::uint8_t TForm1::ParsePitch(const QString& text) {
  const PitchResult result = ParsePitchText(text.toStdString(), DecimalSeparator());
  if (result.pitch == 0) ShowMessageBox(result.message, close_requested_);
  return static_cast<std::uint8_t>(result.pitch);
}

void TForm1::Button1Click() {
  store_.ResetBounds();  // on every press, whether or not the run goes on
  const std::uint8_t pitch = ParsePitch(Edit1->text());
  if (pitch == 0) return;
  std::string input;
  if (!AskFileName(OpenDialog1, &input)) return;
  SaveDialog1->selectFile(FileNameText(ProposeOutputName(input)));
  std::string output;
  if (!AskFileName(SaveDialog1, &output)) return;
  Convert(ConversionRequest{input, ApplyExtensionRule(output), pitch});
}

void TForm1::EndForSignal() {
  if (RunUnderWay()) abandon_requested_ = true;
  // A dialog or message box showing is closed first, as if cancelled.
  while (QWidget* modal = QApplication::activeModalWidget()) {
    if (!modal->close()) break;
  }
  close();  // after the run, when one is under way
}

void TForm1::Button2Click() {
  if (Button2->text() == kExitCaption) {
    close();  // at once when idle; after the run when one is under way
  } else {
    Button2->setText(kExitCaption);  // the stop request
  }
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

void TForm1::Convert(const ConversionRequest& request) {
  // After an error the run has already abandoned its output; the window
  // starts afresh.
  try {
    const ConversionResult result = RunConversion(store_, request, *this);
    ShowMessageBox(ClosingMessage(result.outcome), close_requested_);
  } catch (const RunAbandoned&) {
    abandon_requested_ = false;
  } catch (const EOutputIsInput& refused) {
    ShowMessageBox(WindowMessage(refused.message()), close_requested_);
  } catch (const Exception& error) {
    ShowErrorBox(WindowMessage(error.message()), close_requested_);
  } catch (const std::bad_alloc&) {
    ShowErrorBox(WindowMessage(kNotEnoughMemoryMessage), close_requested_);
  } catch (const std::exception& error) {  // from the system, such as a thread refused
    ShowErrorBox(error.what(), close_requested_);
  }
  ReturnToIdle();
  EndIfCloseRequested();
}

void TForm1::EnterRunning() {
  if (focusWidget() == Button1) {
    // Disabling the focused Button1 would pass the focus on to Button2,
    // where Enter would stop the run. (The window's focus child counts even
    // while a closing dialog has not yet given activation back.)
    focus_held_for_button1_ = true;
    setFocus(Qt::OtherFocusReason);
  }
  Button1->setEnabled(false);
  Button2->setText(kStopCaption);
  last_dispatch_.invalidate();
}

void TForm1::ReturnToIdle() {
  Button1->setEnabled(true);
  Button2->setText(kExitCaption);
  ProgressBar1->setValue(0);
  if (focus_held_for_button1_) {
    focus_held_for_button1_ = false;
    Button1->setFocus(Qt::OtherFocusReason);
  }
}

bool TForm1::RunUnderWay() const { return !Button1->isEnabled(); }

void TForm1::EndIfCloseRequested() {
  if (close_requested_) close();
}

void TForm1::PhaseStarted(RunPhase phase, std::int64_t) {
  // The output exists: the run is under way.
  if (phase == RunPhase::kReading) EnterRunning();
}

void TForm1::SetProgress(int position, std::int64_t) {
  // The engine passes values outside 0..100 through; the bar shows them
  // empty or full.
  ProgressBar1->setValue(std::clamp(position, 0, 100));
}

void TForm1::ProcessMessages() { DispatchPending(); }

// The window keeps painting and taking clicks while the run waits for a
// worker thread or for the disk.
void TForm1::WhileWaiting() { DispatchPending(); }

void TForm1::DispatchPending() {
  if (last_dispatch_.isValid() && last_dispatch_.elapsed() < message_interval_.count()) return;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  last_dispatch_.start();
  if (abandon_requested_) throw RunAbandoned{};
}

bool TForm1::StopRequested() { return Button2->text() == kExitCaption; }

bool TForm1::FirstCoveringWanted() { return CheckBox1->isChecked(); }

}  // namespace pelmoro
