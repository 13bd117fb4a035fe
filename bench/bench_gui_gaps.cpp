// bench_gui_gaps MODEL PITCH_MM [--threads N] [--workdir DIR]
//
// How long a window would go without handling its messages during one
// conversion run. The run goes through RunConversion with a driver that
// records the longest interval between two calls of ProcessMessages,
// counting from the start of the run and up to its return: the bound that
// the engine puts on the window's gaps.
//
// Built with the window, the same run is also driven by a real, shown Form1
// (offscreen when there is no display): its own ProcessMessages dispatches
// the events, and a zero-interval timer, which fires once per pass of the
// event loop, records the longest time between two passes.
// Results are "key=value" lines on stdout.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>

#include "bench/bench_support.h"
#include "foundation/errors.h"
#include "heightmap/conversion_run.h"

#ifdef PELMORO_BENCH_QT
#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include "app/main_window.h"
#endif

namespace pelmoro::bench {
namespace {

// Longest interval between two marks, and which phase it ended in.
class GapClock {
 public:
  void Start() { last_ = Clock::now(); }
  void Mark(RunPhase phase) {
    const Clock::time_point now = Clock::now();
    const double gap = std::chrono::duration<double>(now - last_).count();
    ++marks_;
    if (gap > longest_) {
      longest_ = gap;
      phase_ = phase;
      longest_at_ = marks_;
    }
    last_ = now;
  }
  double longest() const { return longest_; }
  const char* phase() const { return phase_ == RunPhase::kReading ? "reading" : "scanning"; }
  long marks() const { return marks_; }
  long longest_at() const { return longest_at_; }  // 1-based mark that ended it

 private:
  Clock::time_point last_ = Clock::now();
  double longest_ = 0;
  RunPhase phase_ = RunPhase::kReading;
  long marks_ = 0;
  long longest_at_ = 0;
};

// Passes everything to the front end it wraps (or to none) and times the
// calls of ProcessMessages.
class GapDriver : public RunDriver {
 public:
  explicit GapDriver(RunDriver& inner) : inner_(inner) {}
  void SetProgress(int position) override { inner_.SetProgress(position); }
  void ProcessMessages() override {
    gaps.Mark(phase);
    inner_.ProcessMessages();
  }
  bool StopRequested() override { return inner_.StopRequested(); }
  bool SurfaceChecked() override { return inner_.SurfaceChecked(); }
  void PhaseStarted(RunPhase p) override {
    phase = p;
    inner_.PhaseStarted(p);
  }
  GapClock gaps;
  RunPhase phase = RunPhase::kReading;

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
    if (a == "--threads" && i + 1 < argc) s.threads = std::atoi(argv[++i]);
    else if (a == "--workdir" && i + 1 < argc) s.workdir = argv[++i];
    else if (plain == 0 && a.rfind("--", 0) != 0) s.model = a, ++plain;
    else if (plain == 1 && a.rfind("--", 0) != 0) s.pitch_mm = a, ++plain;
    else plain = 99;
  }
  if (plain != 2) {
    std::fprintf(stderr, "usage: bench_gui_gaps MODEL PITCH_MM [--threads N] [--workdir DIR]\n");
    std::exit(2);
  }
  return s;
}

ConversionRequest RequestFor(const Settings& s) {
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  ConversionRequest request(s.model,
                            s.workdir + "/gaps_" + std::to_string(::getpid()) + ".hzm",
                            PitchUnits(s.pitch_mm), ScanOptions{s.threads > 0 ? s.threads : cores});
  std::printf("threads=%d\n", request.scan.threads);
  return request;
}

// Runs the conversion through `driver` and reports its gaps under `prefix`.
void TimedRun(const ConversionRequest& request, RunDriver& front, const char* prefix,
              const std::function<void()>& on_output_created = {}) {
  GeometryStore store;
  GapDriver driver(front);
  const Clock::time_point start = Clock::now();
  driver.gaps.Start();
  RunConversion(store, request, driver, on_output_created);
  driver.gaps.Mark(driver.phase);  // the window gets its loop back here
  std::printf("%s_run_s=%.6g\n", prefix, SecondsSince(start));
  std::printf("%s_passes=%ld\n", prefix, driver.gaps.marks());
  std::printf("%s_longest_gap_ms=%.3f\n", prefix, driver.gaps.longest() * 1e3);
  std::printf("%s_longest_gap_phase=%s\n", prefix, driver.gaps.phase());
  std::printf("%s_longest_gap_at_pass=%ld\n", prefix, driver.gaps.longest_at());
  std::remove(request.output.c_str());
}

#ifdef PELMORO_BENCH_QT
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
  QObject::connect(&heartbeat, &QTimer::timeout, [&] { passes.Mark(RunPhase::kScanning); });
  const auto enter_running = [&] {  // what the window does once the output exists
    form.Button1->setEnabled(false);
    form.Button2->setText(QStringLiteral("Stop"));
    passes.Start();
    heartbeat.start();
  };
  TimedRun(request, form, "window_engine", enter_running);
  passes.Mark(RunPhase::kScanning);
  heartbeat.stop();
  std::printf("window_event_passes=%ld\n", passes.marks());
  std::printf("window_longest_gap_ms=%.3f\n", passes.longest() * 1e3);
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
