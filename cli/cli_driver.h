// The command line's side of a run: progress on the terminal, the stop
// request from Ctrl-C, and --surface.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "cli/terminal_progress.h"
#include "engine/run_driver.h"

namespace pelmoro::cli {

// Where a run stands, to tell which file an error concerns.
enum class RunStage { kCreatingOutput, kReading, kScanning, kClosing };

class CliDriver : public RunDriver {
 public:
  CliDriver(bool first_covering, TerminalProgress& progress);

  void PhaseStarted(RunPhase phase, std::int64_t total) override;
  void SetProgress(int position, std::int64_t done) override;
  // Signals are only noted as they come: nothing is pending.
  void ProcessMessages() override {}
  // True once Ctrl-C (SIGINT), SIGTERM, SIGHUP or SIGQUIT arrived.
  bool StopRequested() override;
  bool FirstCoveringWanted() override { return first_covering_; }

  RunStage stage() const { return stage_; }
  // The rows the scan has written so far, of total_rows().
  std::int64_t rows_done() const { return rows_done_; }
  std::int64_t total_rows() const { return total_rows_; }
  double Seconds() const;

 private:
  bool first_covering_;
  TerminalProgress& progress_;
  RunStage stage_ = RunStage::kCreatingOutput;
  std::int64_t total_ = 0;
  std::int64_t rows_done_ = 0;
  std::int64_t total_rows_ = 0;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace pelmoro::cli
