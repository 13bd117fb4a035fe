// A shown Form1 in a temporary folder, with a hook into its message passes,
// for tests that run conversions through the window.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

#include "app/main_window.h"
#include "foundation/geometry_store.h"
#include "tests/app/modal_answerer.h"

namespace pelmoro::testing {

// Form1 that counts the engine's message passes of a run (1, 2, ...) and
// lets a test act at a chosen one, before the window dispatches, or as a
// phase starts.
class InstrumentedForm : public TForm1 {
 public:
  using TForm1::SetMessageInterval;
  using TForm1::TForm1;

  void ProcessMessages() override {
    ++passes;
    if (on_pass) on_pass(passes);
    dispatching = true;
    TForm1::ProcessMessages();
    dispatching = false;
  }

  void PhaseStarted(RunPhase phase, std::int64_t total) override {
    TForm1::PhaseStarted(phase, total);
    if (on_phase) on_phase(phase);
  }

  int passes = 0;
  bool dispatching = false;  // inside the window's own message pass
  std::function<void(int)> on_pass;
  std::function<void(RunPhase)> on_phase;
};

class RunHarness {
 public:
  RunHarness();
  ~RunHarness();
  RunHarness(const RunHarness&) = delete;
  RunHarness& operator=(const RunHarness&) = delete;

  InstrumentedForm& form() { return *form_; }
  // A full path in the temporary folder.
  QString Path(const QString& name) const { return dir_.filePath(name); }
  // Writes a model (or any file) into the folder; returns its path.
  QString Write(const QString& name, const QByteArray& bytes) const;
  // The folder's file names, sorted, hidden ones included.
  QStringList Files() const;

  // Types the pitch and clicks Convert; the answers must be queued.
  void ClickConvert(const QString& pitch = QStringLiteral("0.1"));
  // Queues the answers of a whole run (input, typed output name, Enter on
  // the closing box), clicks Convert and returns when the run has ended.
  void Convert(ModalAnswerer& answerer, const QString& input, const QString& output,
               const QString& pitch = QStringLiteral("0.1"));

  // stl2hzm's height map for the input, as the reference bytes.
  QByteArray Reference(const QString& input, const QString& pitch, bool surface = false);

  // True when the window is idle: Convert enabled, "Exit", bar at 0.
  bool Idle() const;

 private:
  QTemporaryDir dir_;
  GeometryStore store_;
  InstrumentedForm* form_;
  int references_ = 0;
};

}  // namespace pelmoro::testing
