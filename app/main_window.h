// The converter's one window, Form1: the pitch field, "Convert" and
// "Exit"/"Stop", the progress bar and the "Surface" check box. Its clicks and
// close requests go to the window's run logic (control/), which works the
// controls through the WindowView calls; the engine talks to the window
// while a run is under way, and the window passes that on too.
#pragma once

#include <QWidget>
#include <chrono>
#include <cstdint>
#include <string>

#include "control/window_controller.h"
#include "control/window_view.h"
#include "engine/run_driver.h"
#include "foundation/geometry_store.h"

class QCheckBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace pelmoro {

class TForm1 : public QWidget, public RunDriver, private WindowView {
  Q_OBJECT

 public:
  // Creates the window with all its controls, sized for the window font as
  // it renders here. The store must outlive the window.
  explicit TForm1(GeometryStore& store, QWidget* parent = nullptr);
  ~TForm1() override;

  QLineEdit* Edit1;
  QPushButton* Button1;
  QFileDialog* OpenDialog1;
  QFileDialog* SaveDialog1;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QPushButton* Button2;
  QProgressBar* ProgressBar1;
  QCheckBox* CheckBox1;

  // The pitch in grid units (1..255) for a pitch text in millimetres, with
  // the locale's decimal separator; 0 after showing why the text is refused.
  std::uint8_t ParsePitch(const QString& text);

  // The factor applied to the designed geometry and the large font.
  double LayoutScale() const { return scale_; }

  // What the engine asks of the window during a run.
  void PhaseStarted(RunPhase phase, std::int64_t total) override;
  void SetProgress(int position, std::int64_t done) override;
  void ProcessMessages() override;
  void WhileWaiting() override;
  bool StopRequested() override;
  bool FirstCoveringWanted() override;

 public slots:
  // One conversion run: pitch, input, output, convert, report.
  void Button1Click();
  // Ends the program when idle or after a stop request; otherwise asks the
  // run under way to stop.
  void Button2Click();
  // A termination signal: a run under way is abandoned (its output is not
  // written, an earlier file stays), then the window closes.
  void EndForSignal();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

  // Calls of ProcessMessages that come sooner than this after the last one
  // that dispatched are skipped, so a run over a million triangles does not
  // pay for a million passes through the event loop.
  void SetMessageInterval(std::chrono::milliseconds interval) {
    controller_.SetMessageInterval(interval);
  }

 private:
  void CreateControls();
  void PlaceControls();
  void SetUpDialogs();
  bool AskFileName(QFileDialog* dialog, std::string* confirmed);

  // The controls as the run logic sees them (app/run_control.cpp).
  std::string PitchText() override;
  bool SurfaceChecked() override;
  bool Button1Enabled() override;
  void SetButton1Enabled(bool enabled) override;
  std::string Button2Caption() override;
  void SetButton2Caption(const std::string& caption) override;
  void SetProgress(int position) override;
  void ShowMessageBox(const std::string& text, bool close_by_itself) override;
  void ShowErrorBox(const std::string& text, bool close_by_itself) override;
  bool AskInputName(std::string* name) override;
  bool AskOutputName(const std::string& proposed, std::string* name) override;
  void ProcessPendingMessages() override;
  void CloseOpenDialogs() override;
  void CloseWindow() override;
  bool HoldFocusFromButton1() override;
  void RestoreFocusToButton1() override;

  double scale_ = 1.0;
  WindowController controller_;
};

}  // namespace pelmoro
