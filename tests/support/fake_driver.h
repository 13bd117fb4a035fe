// A RunDriver for tests: records phases and progress, counts message
// passes, and lets a test stop the run or change the mode at a chosen pass
// or as a phase starts.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "engine/run_driver.h"

namespace pelmoro::testing {

class FakeDriver : public RunDriver {
 public:
  void PhaseStarted(RunPhase phase, std::int64_t total) override {
    phases.emplace_back(phase, total);
    if (on_phase) on_phase(phase);
  }
  void SetProgress(int position, std::int64_t done) override {
    progress.push_back(position);
    steps.push_back(done);
  }
  void ProcessMessages() override {
    ++passes;
    if (on_pass) on_pass(passes);
  }
  void WhileWaiting() override { ++waits; }
  bool StopRequested() override { return stop; }
  bool FirstCoveringWanted() override {
    ++surface_reads;
    return surface;
  }

  std::vector<std::pair<RunPhase, std::int64_t>> phases;
  std::vector<int> progress;
  std::vector<std::int64_t> steps;  // the steps done, with every progress
  int passes = 0;
  int waits = 0;  // calls of WhileWaiting
  int surface_reads = 0;
  bool stop = false;
  bool surface = false;
  // Called with the number of the pass (1, 2, ...) at every message pass.
  std::function<void(int)> on_pass;
  // Called as each phase starts, after it is recorded.
  std::function<void(RunPhase)> on_phase;
};

}  // namespace pelmoro::testing
