#include "cli/cli_driver.h"

#include "cli/catalog.h"
#include "cli/signals.h"

namespace pelmoro::cli {

RunTerminated::RunTerminated(int signal_number)
    : Exception("terminated by signal " + std::to_string(signal_number)),
      signal_number_(signal_number) {}

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
      break;
    case RunPhase::kClosing:
      stage_ = RunStage::kClosing;
      break;
  }
}

void CliDriver::SetProgress(int position, std::int64_t done) {
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

void CliDriver::ProcessMessages() {
  if (const int signal_number = TerminationSignal(); signal_number != 0) {
    throw RunTerminated(signal_number);
  }
}

bool CliDriver::StopRequested() { return StopSignalled(); }

double CliDriver::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

}  // namespace pelmoro::cli
