// The command line's side of a run: progress on the terminal, the stop
// request from Ctrl-C, and --surface.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "cli/terminal_progress.h"
#include "engine/run_driver.h"
#include "foundation/errors.h"

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
enum class RunStage { kCreatingOutput, kReading, kScanning, kClosing };

class CliDriver : public RunDriver {
 public:
  CliDriver(bool first_covering, TerminalProgress& progress);

  void PhaseStarted(RunPhase phase, std::int64_t total) override;
  void SetProgress(int position, std::int64_t done) override;
  // Both raise RunTerminated once SIGTERM or SIGHUP arrived.
  void ProcessMessages() override;
  void WhileWaiting() override { ProcessMessages(); }
  // True once Ctrl-C (SIGINT) arrived.
  bool StopRequested() override;
  bool FirstCoveringWanted() override { return first_covering_; }

  RunStage stage() const { return stage_; }
  double Seconds() const;

 private:
  bool first_covering_;
  TerminalProgress& progress_;
  RunStage stage_ = RunStage::kCreatingOutput;
  std::int64_t total_ = 0;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace pelmoro::cli
