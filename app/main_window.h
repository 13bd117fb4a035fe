// The converter's one window, Form1: the pitch field, "Convert" and
// "Exit"/"Stop", the progress bar and the "Surface" check box. It drives
// conversion runs and is what the engine talks to while one is under way.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <string>

#include "engine/run_driver.h"
#include "foundation/geometry_store.h"

class QCheckBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace pelmoro {

struct ConversionRequest;

class TForm1 : public QWidget, public RunDriver {
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

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

  // Calls of ProcessMessages that come sooner than this after the last one
  // that dispatched are skipped, so a run over a million triangles does not
  // pay for a million passes through the event loop.
  void SetMessageInterval(std::chrono::milliseconds interval) { message_interval_ = interval; }

 private:
  void CreateControls();
  void PlaceControls();
  void SetUpDialogs();
  bool AskFileName(QFileDialog* dialog, std::string* confirmed);
  void Convert(const ConversionRequest& request);
  void EnterRunning();
  void ReturnToIdle();
  bool RunUnderWay() const;
  void DispatchPending();
  void EndIfCloseRequested();

  GeometryStore& store_;
  double scale_ = 1.0;
  // A close request that arrived during a run: the program ends once the
  // run has.
  bool close_requested_ = false;
  // Button1 had the focus when the run disabled it; the window holds it
  // meanwhile so that Enter cannot reach Button2.
  bool focus_held_for_button1_ = false;
  QElapsedTimer last_dispatch_;
  std::chrono::milliseconds message_interval_{15};
};

}  // namespace pelmoro
