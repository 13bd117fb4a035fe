// A window controller over a recording view, in a scratch folder, with a
// driver that counts the run's message passes and posts a test's messages
// (clicks, a close, a signal) to the window at chosen passes.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/window_controller.h"
#include "engine/run_driver.h"
#include "foundation/geometry_store.h"
#include "tests/support/recording_view.h"

namespace pelmoro::testing {

// A fresh folder under the system's temporary folder, removed with what it
// holds (std::filesystem only, so that it works on Windows too).
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string File(std::string_view name) const { return (path_ / name).string(); }
  void Write(std::string_view name, std::string_view bytes) const;
  // The file's bytes; nullopt when there is no such file.
  std::optional<std::string> Read(std::string_view name) const;
  // The names in the folder, sorted.
  std::vector<std::string> Names() const;

 private:
  std::filesystem::path path_;
};

// Passes the engine's calls on to the controller, as a window that is the
// engine's driver does, counting the message passes (1, 2, ...).
class PassCounter : public RunDriver {
 public:
  PassCounter(WindowController& controller, RecordingView& view);

  void PhaseStarted(RunPhase phase, std::int64_t total) override;
  void SetProgress(int position, std::int64_t done) override;
  void ProcessMessages() override;
  void WhileWaiting() override;
  bool StopRequested() override { return controller_.StopRequested(); }
  bool FirstCoveringWanted() override { return controller_.FirstCoveringWanted(); }

  // Called at every pass with its number, before the window dispatches.
  std::function<void(int pass)> at_pass;
  // Waits go on to the controller (off: only the counted passes dispatch).
  bool forward_waits = true;
  // Added to the clock at every pass.
  std::chrono::milliseconds clock_step{0};
  std::chrono::steady_clock::time_point now{};

  int passes = 0;
  RunPhase phase = RunPhase::kReading;
  std::vector<RunPhase> phase_at_pass;  // [pass - 1]
  std::vector<int> dispatching_passes;  // passes in which the window dispatched

 private:
  WindowController& controller_;
  RecordingView& view_;
};

struct ControllerHarness {
  explicit ControllerHarness(WindowController::MessageWords words = {});

  // Clicks Convert with the engine's calls going through the pass counter.
  void ClickConvert() { controller.Button1Click(driver); }
  // The controller's intervals measured on the pass counter's clock.
  void UseDriverClock();

  ScratchFolder folder;
  GeometryStore store;
  RecordingView view;
  WindowController controller;
  PassCounter driver;
};

// The header and the first `rows` rows of a height map, or all of it when
// rows is negative or beyond its rows.
std::string HeaderAndRows(const std::string& map, int rows);

}  // namespace pelmoro::testing
