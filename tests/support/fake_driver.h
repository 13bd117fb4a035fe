// A RunDriver for tests: records progress, counts message passes, and lets a
// test stop the run or flip "Surface" at a chosen message pass.
#pragma once

#include <functional>
#include <vector>

#include "engine/run_driver.h"

namespace pelmoro::testing {

class FakeDriver : public RunDriver {
 public:
  void SetProgress(int position) override { progress.push_back(position); }
  void ProcessMessages() override {
    ++passes;
    if (on_pass) on_pass(passes);
  }
  bool StopRequested() override { return stop; }
  bool SurfaceChecked() override {
    ++surface_reads;
    return surface;
  }

  std::vector<int> progress;
  int passes = 0;
  int surface_reads = 0;
  bool stop = false;
  bool surface = false;
  // Called with the number of the pass (1, 2, ...) at every message pass.
  std::function<void(int)> on_pass;
};

}  // namespace pelmoro::testing
