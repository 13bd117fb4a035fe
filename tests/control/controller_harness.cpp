#include "tests/control/controller_harness.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace pelmoro::testing {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  static std::atomic<int> made{0};
  std::random_device random;
  path_ = fs::temp_directory_path() /
          ("pelmoro-control-" + std::to_string(random()) + "-" + std::to_string(made++));
  if (!fs::create_directories(path_)) throw std::runtime_error("folder exists: " + path_.string());
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void ScratchFolder::Write(std::string_view name, std::string_view bytes) const {
  std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + File(name));
}

std::optional<std::string> ScratchFolder::Read(std::string_view name) const {
  std::ifstream in(path_ / name, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ScratchFolder::Names() const {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

PassCounter::PassCounter(WindowController& controller, RecordingView& view)
    : controller_(controller), view_(view) {}

void PassCounter::PhaseStarted(RunPhase started, std::int64_t total) {
  phase = started;
  controller_.PhaseStarted(started, total);
}

void PassCounter::SetProgress(int position, std::int64_t done) {
  controller_.SetProgress(position, done);
}

void PassCounter::ProcessMessages() {
  ++passes;
  phase_at_pass.push_back(phase);
  now += clock_step;
  if (at_pass) at_pass(passes);
  const int before = view_.dispatches;
  controller_.ProcessMessages();
  if (view_.dispatches != before) dispatching_passes.push_back(passes);
}

void PassCounter::WhileWaiting() {
  if (forward_waits) controller_.WhileWaiting();
}

ControllerHarness::ControllerHarness(WindowController::MessageWords words)
    : controller(store, view, std::move(words)), driver(controller, view) {
  view.controller = &controller;
  controller.SetMessageInterval(std::chrono::milliseconds(0));
}

void ControllerHarness::UseDriverClock() {
  controller.SetClock([this] { return driver.now; });
}

std::string HeaderAndRows(const std::string& map, int rows) {
  if (rows < 0) return map;
  std::size_t at = 0;
  // The header's own "S" closes its last line; each row's follows.
  for (int ends = 0; ends <= rows; ++ends) {
    const std::size_t found = map.find("\r\nS\r\n", at);
    if (found == std::string::npos) return map;
    at = found + 5;
  }
  return map.substr(0, at);
}

}  // namespace pelmoro::testing
