#include "cli/cli_driver.h"

#include "cli/catalog.h"
#include "cli/signals.h"

namespace pelmoro::cli {

CliDriver::CliDriver(bool first_covering, TerminalProgress& progress)
    : first_covering_(first_covering),
      progress_(progress),
      start_(std::chrono::steady_clock::now()) {}

void CliDriver::PhaseStarted(RunPhase phase, std::int64_t total) {
  total_ = total;
  switch (phase) {
    case RunPhase::kReading:
      stage_ = RunStage::kReading;
      break;
    case RunPhase::kScanning:
      stage_ = RunStage::kScanning;
      total_rows_ = total;
      rows_done_ = 0;
      break;
    case RunPhase::kClosing:
      stage_ = RunStage::kClosing;
      break;
  }
}

void CliDriver::SetProgress(int position, std::int64_t done) {
  if (stage_ == RunStage::kScanning) rows_done_ = done;
  if (!progress_.enabled()) return;
  const bool scanning = stage_ == RunStage::kScanning;
  ProgressLine line;
  // Looked up once: the progress line is redrawn many times a second.
  static const std::string kScanning = Translate("scanning");
  static const std::string kReading = Translate("reading");
  static const std::string kRows = Translate("rows");
  static const std::string kTriangles = Translate("triangles");
  line.phase = scanning ? kScanning.c_str() : kReading.c_str();
  line.unit = scanning ? kRows.c_str() : kTriangles.c_str();
  line.percent = position;
  line.done = done;
  line.total = total_;
  line.seconds = Seconds();
  progress_.Show(line);
}

bool CliDriver::StopRequested() { return StopSignal() != 0; }

double CliDriver::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

}  // namespace pelmoro::cli
