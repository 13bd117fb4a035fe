#include "cli/cli_driver.h"

#include "cli/signals.h"

namespace pelmoro::cli {

RunTerminated::RunTerminated(int signal_number)
    : Exception("terminated by signal " + std::to_string(signal_number)),
      signal_number_(signal_number) {}

CliDriver::CliDriver(bool surface, TerminalProgress& progress, const GeometryStore& store,
                     int pitch)
    : surface_(surface),
      progress_(progress),
      store_(store),
      pitch_(pitch),
      start_(std::chrono::steady_clock::now()) {}

void CliDriver::ProcessMessages() {
  if (const int signal_number = TerminationSignal(); signal_number != 0) {
    throw RunTerminated(signal_number);
  }
  ++done_;
  if (!progress_.enabled()) return;
  ProgressLine line;
  const bool scanning = stage_ == RunStage::kScanning;
  line.phase = scanning ? "scanning" : "reading";
  line.unit = scanning ? "rows" : "triangles";
  line.percent = position_;
  line.done = done_;
  line.total = scanning ? total_ : 0;
  line.seconds = Seconds();
  progress_.Show(line);
}

bool CliDriver::StopRequested() { return StopSignalled(); }

void CliDriver::PhaseStarted(RunPhase phase) {
  done_ = 0;
  position_ = 0;
  if (phase == RunPhase::kReading) {
    stage_ = RunStage::kReading;
    return;
  }
  stage_ = RunStage::kScanning;
  const ModelBounds& b = store_.bounds();
  total_ = (static_cast<std::int64_t>(b.y_max) - b.y_min) / pitch_ + 1;
}

void CliDriver::OutputCreated() {
  if (stage_ == RunStage::kCreatingOutput) stage_ = RunStage::kReading;
}

double CliDriver::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

}  // namespace pelmoro::cli
