// The converter window's run logic, the same under every toolkit: what
// "Convert" and "Exit"/"Stop" do, a close request or a termination signal
// during a run, the pitch check, the output naming, which message ends a
// run, and the engine's driver while a run is under way. It works the
// window only through WindowView; a window forwards its clicks and close
// requests here and does nothing else of its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "control/window_view.h"
#include "engine/run_driver.h"
#include "foundation/geometry_store.h"

namespace pelmoro {

struct ConversionRequest;

// Button2's captions: "Exit" when no run is under way or a stop has been
// asked for, "Stop" while a run goes on unasked.
inline constexpr char kExitCaption[] = "Exit";
inline constexpr char kStopCaption[] = "Stop";

class WindowController : public RunDriver {
 public:
  // One of the converter's English messages (run/messages.h, the errors the
  // run raises) in the user's language; the message itself when there is
  // no translation.
  using MessageWords = std::function<std::string(std::string_view message)>;
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // The store and the view must outlive the controller. Without words the
  // messages are shown in English.
  WindowController(GeometryStore& store, WindowView& view, MessageWords words = {});

  // Button1 ("Convert"): one conversion run. Resets the model bounds, checks
  // the pitch, asks for the input and the output names, converts, shows
  // "Complate !" or "Break !" (or the error box), and returns to idle. A
  // refused pitch shows its message; a cancelled dialog ends it silently.
  void Button1Click();
  // The same, with the engine's calls of the run going to driver, which
  // passes them on to this controller (a window that is itself the
  // engine's driver and watches them on their way).
  void Button1Click(RunDriver& driver);

  // Button2: with the caption "Exit" closes the window (at once when idle,
  // after the run when one is under way); with "Stop" sets it to "Exit",
  // the stop request.
  void Button2Click();

  // The window is about to close (its close box, Alt+F4, the system menu,
  // the session ending, or CloseWindow). True when it may close now; false
  // during a run: the request is recorded, the run goes on, its closing
  // message closes by itself and the window is closed after the run.
  bool CloseRequested();

  // A termination signal: a run under way is abandoned at its next message
  // pass (its output is not written, an earlier file of that name stays),
  // an open dialog or box is closed, and the window is closed.
  void EndForSignal();

  // The pitch in grid units (1..255) for a pitch text in millimetres, with
  // the locale's decimal separator; 0 after showing why the text is refused.
  int ParsePitch(const std::string& text);

  // True while a run is under way (Button1 disabled).
  bool RunUnderWay();

  // Message passes (ProcessMessages, WhileWaiting) that come sooner than
  // this after the last one that dispatched are skipped, so a run over a
  // million triangles does not pay for a million passes through the event
  // loop. The first pass of a run always dispatches. 15 ms by default.
  void SetMessageInterval(std::chrono::milliseconds interval) { message_interval_ = interval; }
  // The clock those intervals are measured on (steady_clock by default).
  void SetClock(Clock clock) { clock_ = std::move(clock); }

  // The engine's driver during a run.
  void PhaseStarted(RunPhase phase, std::int64_t total) override;
  void SetProgress(int position, std::int64_t done) override;
  void ProcessMessages() override;
  void WhileWaiting() override;
  bool StopRequested() override;
  bool FirstCoveringWanted() override;

 private:
  bool AskNames(std::string* input, std::string* output);
  void Convert(const ConversionRequest& request, RunDriver& driver);
  void EnterRunning();
  void ReturnToIdle();
  void DispatchPending();
  std::string Words(std::string_view message) const;

  GeometryStore& store_;
  WindowView& view_;
  MessageWords words_;
  Clock clock_;
  std::chrono::milliseconds message_interval_{15};
  std::chrono::steady_clock::time_point last_dispatch_{};
  bool dispatched_in_run_ = false;
  // A close request that arrived during a run: the window closes once the
  // run has ended.
  bool close_requested_ = false;
  // A termination signal arrived during a run: the run is abandoned.
  bool abandon_requested_ = false;
  // The view took the focus from Button1 for the run.
  bool focus_held_for_button1_ = false;
};

}  // namespace pelmoro
