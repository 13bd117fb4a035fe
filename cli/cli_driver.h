// The command line's side of a run: progress on the terminal, the stop
// request from Ctrl-C, and --surface.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "cli/terminal_progress.h"
#include "engine/run_driver.h"
#include "foundation/errors.h"
#include "foundation/geometry_store.h"

namespace pelmoro::cli {

// Raised from the message pass once SIGTERM or SIGHUP arrived: the run is
// abandoned, so no output of it is written.
class RunTerminated : public Exception {
 public:
  explicit RunTerminated(int signal_number);
  int signal_number() const { return signal_number_; }

 private:
  int signal_number_;
};

// Where a run stands, to tell which file an error concerns.
enum class RunStage { kCreatingOutput, kReading, kScanning };

class CliDriver : public RunDriver {
 public:
  // store and pitch give the row count once the scan begins.
  CliDriver(bool surface, TerminalProgress& progress, const GeometryStore& store, int pitch);

  void SetProgress(int position) override { position_ = position; }
  // Counts a triangle or row, redraws the progress line, and raises
  // RunTerminated once SIGTERM or SIGHUP arrived.
  void ProcessMessages() override;
  // True once Ctrl-C (SIGINT) arrived.
  bool StopRequested() override;
  bool SurfaceChecked() override { return surface_; }
  void PhaseStarted(RunPhase phase) override;

  // Called when the output exists: the reading begins.
  void OutputCreated();
  RunStage stage() const { return stage_; }
  double Seconds() const;

 private:
  bool surface_;
  TerminalProgress& progress_;
  const GeometryStore& store_;
  int pitch_;
  RunStage stage_ = RunStage::kCreatingOutput;
  int position_ = 0;
  std::int64_t done_ = 0;
  std::int64_t total_ = 0;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace pelmoro::cli
