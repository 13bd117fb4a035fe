// What the engine needs of whatever drives a conversion (the window, the
// command line, a test). The engine asks nothing else of its front end.
#pragma once

#include <cstdint>

namespace pelmoro {

// The stages of a run. While closing, the finished output reaches the disk
// (WhileWaiting runs meanwhile; nothing is counted).
enum class RunPhase { kReading, kScanning, kClosing };

class RunDriver {
 public:
  virtual ~RunDriver() = default;
  // Called as the run enters a phase; total is the number of steps
  // (triangles, rows) the phase will take when known beforehand, else 0.
  virtual void PhaseStarted(RunPhase /*phase*/, std::int64_t /*total*/) {}
  // After every step of reading (a complete triangle) or scanning (a row):
  // the progress position and the steps done so far in the phase. While
  // reading the position is 0..100; while scanning it is passed unclamped
  // (below 0 shows empty, above 100 full), and returns to 0 at the end.
  virtual void SetProgress(int position, std::int64_t done) = 0;
  // Lets the front end handle everything pending (clicks, repaints,
  // signals): after every step.
  virtual void ProcessMessages() = 0;
  // Lets the front end stay responsive while the run waits (for a worker
  // thread's row, for the disk): about every 50 ms. Not a step: progress,
  // the mode and the stop request are read as usual after it. What it
  // raises ends the run.
  virtual void WhileWaiting() {}
  // True once the user has asked the run to stop.
  virtual bool StopRequested() = 0;
  // True while the user wants each point's first covering triangle in file
  // order instead of the highest one. Read afresh at every use.
  virtual bool FirstCoveringWanted() = 0;
};

}  // namespace pelmoro
