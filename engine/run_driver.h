// What the engine needs of whatever drives a conversion (the window, the
// command line, a test). The engine asks nothing else of its front end.
#pragma once

namespace pelmoro {

// The stages of a run that a front end may name in its progress display.
enum class RunPhase { kReading, kScanning };

class RunDriver {
 public:
  virtual ~RunDriver() = default;
  // Moves the progress display: 0..100 while reading; while scanning the
  // value is passed unclamped (below 0 shows empty, above 100 full).
  virtual void SetProgress(int position) = 0;
  // Lets the front end handle everything pending (clicks, repaints, signals).
  virtual void ProcessMessages() = 0;
  // True once the user has asked the run to stop.
  virtual bool StopRequested() = 0;
  // The "Surface" state: first covering triangle instead of the highest.
  virtual bool SurfaceChecked() = 0;
  // Called as the run enters a phase; front ends that show none ignore it.
  virtual void PhaseStarted(RunPhase) {}
};

}  // namespace pelmoro
