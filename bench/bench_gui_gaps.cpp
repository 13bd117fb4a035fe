// bench_gui_gaps MODEL PITCH_MM [--threads N] [--workdir DIR]
//
// How long a window would go without handling its messages during one
// conversion run. The run goes through RunConversion with a driver that
// records the longest interval between two calls of ProcessMessages,
// counting from the start of the run and up to its return: the bound that
// the engine puts on the window's gaps. The last gap, from the last row to
// the return, is closing the output; it is also reported apart.
//
// Built with the window, the same run is also driven by a real, shown Form1
// (offscreen when there is no display): its own ProcessMessages dispatches
// the events, and a zero-interval timer, which fires once per pass of the
// event loop, records the longest time between two passes.
// Results are "key=value" lines on stdout.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "bench/bench_support.h"
#include "foundation/errors.h"
#include "run/conversion_run.h"

#ifdef PELMORO_BENCH_QT
#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include "app/main_window.h"
#endif

namespace pelmoro::bench {
namespace {

// Where a run was when a gap ended: reading, scanning, or after the last
// row (closing the output until the run returns).
using Stage = RunPhase;

const char* StageName(Stage stage) {
  switch (stage) {
    case Stage::kReading:
      return "reading";
    case Stage::kScanning:
      return "scanning";
    case Stage::kClosing:
      return "closing";
  }
  return "?";
}

// Longest interval between two marks and where it ended, overall and
// without the closing stage.
class GapClock {
 public:
  void Start() { last_ = Clock::now(); }
  void Mark(Stage stage) {
    const Clock::time_point now = Clock::now();
    const double gap = std::chrono::duration<double>(now - last_).count();
    ++marks_;
    if (gap > longest_) {
      longest_ = gap;
      stage_ = stage;
      longest_at_ = marks_;
    }
    if (stage != Stage::kClosing && gap > longest_before_closing_) {
      longest_before_closing_ = gap;
      before_closing_stage_ = stage;
      before_closing_at_ = marks_;
    }
    last_ = now;
  }
  double longest() const { return longest_; }
  double longest_before_closing() const { return longest_before_closing_; }
  const char* stage() const { return StageName(stage_); }
  const char* before_closing_stage() const { return StageName(before_closing_stage_); }
  long before_closing_at() const { return before_closing_at_; }
  long marks() const { return marks_; }
  long longest_at() const { return longest_at_; }  // 1-based mark that ended it

 private:
  Clock::time_point last_ = Clock::now();
  double longest_ = 0, longest_before_closing_ = 0;
  Stage stage_ = Stage::kReading, before_closing_stage_ = Stage::kReading;
  long marks_ = 0;
  long longest_at_ = 0, before_closing_at_ = 0;
};

// Passes everything to the front end it wraps and times the message
// passes: the calls of ProcessMessages, and of WhileWaiting while the run
// waits for a worker or for the disk.
class GapDriver : public RunDriver {
 public:
  explicit GapDriver(RunDriver& inner) : inner_(inner) {}
  void SetProgress(int position, std::int64_t done) override { inner_.SetProgress(position, done); }
  void ProcessMessages() override {
    gaps.Mark(stage);
    inner_.ProcessMessages();
  }
  void WhileWaiting() override {
    gaps.Mark(stage);
    inner_.WhileWaiting();
  }
  bool StopRequested() override { return inner_.StopRequested(); }
  bool FirstCoveringWanted() override { return inner_.FirstCoveringWanted(); }
  void PhaseStarted(RunPhase p, std::int64_t total) override {
    stage = p;
    inner_.PhaseStarted(p, total);
  }
  GapClock gaps;
  Stage stage = Stage::kReading;

 private:
  RunDriver& inner_;
};

struct Settings {
  std::string model, pitch_mm, workdir = ".";
  int threads = 0;
};

Settings ParseSettings(int argc, char** argv) {
  Settings s;
  int plain = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--threads" && i + 1 < argc)
      s.threads = std::atoi(argv[++i]);
    else if (a == "--workdir" && i + 1 < argc)
      s.workdir = argv[++i];
    else if (plain == 0 && a.rfind("--", 0) != 0)
      s.model = a, ++plain;
    else if (plain == 1 && a.rfind("--", 0) != 0)
      s.pitch_mm = a, ++plain;
    else
      plain = 99;
  }
  if (plain != 2) {
    std::fprintf(stderr, "usage: bench_gui_gaps MODEL PITCH_MM [--threads N] [--workdir DIR]\n");
    std::exit(2);
  }
  return s;
}

ConversionRequest RequestFor(const Settings& s) {
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const ConversionRequest request{
      s.model, s.workdir + "/gaps_" + std::to_string(::getpid()) + ".hzm", PitchUnits(s.pitch_mm),
      ScanOptions{s.threads > 0 ? s.threads : cores}};
  std::printf("threads=%d\n", request.scan.threads);
  return request;
}

void PrintGaps(const char* prefix, const GapClock& gaps) {
  std::printf("%s_passes=%ld\n", prefix, gaps.marks());
  std::printf("%s_longest_gap_ms=%.3f\n", prefix, gaps.longest() * 1e3);
  std::printf("%s_longest_gap_stage=%s\n", prefix, gaps.stage());
  std::printf("%s_longest_gap_at_pass=%ld\n", prefix, gaps.longest_at());
  std::printf("%s_longest_gap_before_closing_ms=%.3f\n", prefix,
              gaps.longest_before_closing() * 1e3);
  std::printf("%s_longest_gap_before_closing_stage=%s\n", prefix, gaps.before_closing_stage());
  std::printf("%s_longest_gap_before_closing_at_pass=%ld\n", prefix, gaps.before_closing_at());
}

// Runs the conversion through a GapDriver around `front` and reports its
// gaps under `prefix`. on_return runs as soon as the run has returned.
void TimedRun(const ConversionRequest& request, RunDriver& front, const char* prefix,
              const std::function<void()>& on_return = {}) {
  GeometryStore store;
  GapDriver driver(front);
  const Clock::time_point start = Clock::now();
  driver.gaps.Start();
  RunConversion(store, request, driver);
  driver.gaps.Mark(Stage::kClosing);  // the window gets its loop back here
  if (on_return) on_return();
  std::printf("%s_run_s=%.6g\n", prefix, SecondsSince(start));
  PrintGaps(prefix, driver.gaps);
  std::remove(request.output.c_str());
}

#ifdef PELMORO_BENCH_QT
// Passes everything to the window and notes the stage the run is in;
// on_reading runs as the reading starts, once the output exists.
class StageTracker : public RunDriver {
 public:
  StageTracker(RunDriver& window, Stage& stage, std::function<void()> on_reading)
      : window_(window), stage_(stage), on_reading_(std::move(on_reading)) {}
  void SetProgress(int position, std::int64_t done) override {
    window_.SetProgress(position, done);
  }
  void ProcessMessages() override { window_.ProcessMessages(); }
  void WhileWaiting() override { window_.WhileWaiting(); }
  bool StopRequested() override { return window_.StopRequested(); }
  bool FirstCoveringWanted() override { return window_.FirstCoveringWanted(); }
  void PhaseStarted(RunPhase p, std::int64_t total) override {
    stage_ = p;
    window_.PhaseStarted(p, total);
    if (p == RunPhase::kReading) on_reading_();
  }

 private:
  RunDriver& window_;
  Stage& stage_;
  std::function<void()> on_reading_;
};

// The same run in a shown Form1, its event-loop passes timed by a
// zero-interval timer.
void WindowRun(const ConversionRequest& request, int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  GeometryStore form_store;
  TForm1 form(form_store);
  form.show();
  QApplication::processEvents();
  GapClock passes;
  QTimer heartbeat;
  heartbeat.setInterval(0);
  Stage stage = Stage::kReading;
  QObject::connect(&heartbeat, &QTimer::timeout, [&] { passes.Mark(stage); });
  const auto start_timing = [&] {
    passes.Start();
    heartbeat.start();
  };
  // The window's stage follows the engine's through a small front end.
  StageTracker tracker(form, stage, start_timing);
  TimedRun(request, tracker, "window_engine", [&] {
    passes.Mark(Stage::kClosing);
    heartbeat.stop();
  });
  PrintGaps("window", passes);
}
#endif

}  // namespace
}  // namespace pelmoro::bench

int main(int argc, char** argv) {
  using namespace pelmoro::bench;
  try {
    const Settings settings = ParseSettings(argc, argv);
    const pelmoro::ConversionRequest request = RequestFor(settings);
    NullDriver quiet;
    TimedRun(request, quiet, "engine");
#ifdef PELMORO_BENCH_QT
    WindowRun(request, argc, argv);
#endif
    return 0;
  } catch (const pelmoro::Exception& e) {
    std::fprintf(stderr, "bench_gui_gaps: %s\n", e.message().c_str());
    return 1;
  }
}
