// The window's run logic: the two click handlers, the pitch check, the
// close and signal requests, and the engine's driver during a run.
#include "control/window_controller.h"

#include <algorithm>
#include <exception>
#include <new>
#include <utility>

#include "foundation/errors.h"
#include "foundation/numbers.h"
#include "run/conversion_run.h"
#include "run/messages.h"
#include "run/output_name.h"
#include "run/pitch.h"

namespace pelmoro {
namespace {

// Raised from the message pass once a termination signal asked for the run
// to be abandoned; the run then abandons its output.
struct RunAbandoned {};

}  // namespace

WindowController::WindowController(GeometryStore& store, WindowView& view, MessageWords words)
    : store_(store),
      view_(view),
      words_(std::move(words)),
      clock_([] { return std::chrono::steady_clock::now(); }) {}

std::string WindowController::Words(std::string_view message) const {
  return words_ ? words_(message) : std::string(message);
}

int WindowController::ParsePitch(const std::string& text) {
  const PitchResult result = ParsePitchText(text, DecimalSeparator());
  if (result.pitch == 0) view_.ShowMessageBox(result.message, close_requested_);
  return result.pitch;
}

void WindowController::Button1Click() { Button1Click(*this); }

void WindowController::Button1Click(RunDriver& driver) {
  store_.ResetBounds();  // on every press, whether or not the run goes on
  const int pitch = ParsePitch(view_.PitchText());
  if (pitch == 0) return;
  std::string input;
  std::string output;
  if (!AskNames(&input, &output)) return;
  Convert(ConversionRequest{input, ApplyExtensionRule(output), pitch}, driver);
}

bool WindowController::AskNames(std::string* input, std::string* output) {
  if (!view_.AskInputName(input)) return false;
  return view_.AskOutputName(ProposeOutputName(*input), output);
}

void WindowController::Button2Click() {
  if (view_.Button2Caption() == kExitCaption) {
    view_.CloseWindow();  // at once when idle; after the run when one is under way
  } else {
    view_.SetButton2Caption(kExitCaption);  // the stop request
  }
}

bool WindowController::CloseRequested() {
  if (!RunUnderWay()) return true;
  close_requested_ = true;  // recorded only: the run goes on
  return false;
}

void WindowController::EndForSignal() {
  if (RunUnderWay()) abandon_requested_ = true;
  view_.CloseOpenDialogs();  // as if cancelled
  view_.CloseWindow();       // after the run, when one is under way
}

bool WindowController::RunUnderWay() { return !view_.Button1Enabled(); }

void WindowController::Convert(const ConversionRequest& request, RunDriver& driver) {
  // After an error the run has already abandoned its output; the window
  // starts afresh.
  try {
    const ConversionResult result = RunConversion(store_, request, driver);
    view_.ShowMessageBox(ClosingMessage(result.outcome), close_requested_);
  } catch (const RunAbandoned&) {
    abandon_requested_ = false;
  } catch (const EOutputIsInput& refused) {
    view_.ShowMessageBox(Words(refused.message()), close_requested_);
  } catch (const Exception& error) {
    view_.ShowErrorBox(ErrorBoxText(Words(error.message())), close_requested_);
  } catch (const std::bad_alloc&) {
    view_.ShowErrorBox(ErrorBoxText(Words(kNotEnoughMemoryMessage)), close_requested_);
  } catch (const std::exception& error) {  // from the system, such as a thread refused
    view_.ShowErrorBox(ErrorBoxText(error.what()), close_requested_);
  }
  ReturnToIdle();
  if (close_requested_) view_.CloseWindow();
}

void WindowController::EnterRunning() {
  // Disabling a focused Button1 would pass the focus on to Button2, where
  // Enter would stop the run.
  focus_held_for_button1_ = view_.HoldFocusFromButton1();
  view_.SetButton1Enabled(false);
  view_.SetButton2Caption(kStopCaption);
  dispatched_in_run_ = false;
}

void WindowController::ReturnToIdle() {
  view_.SetButton1Enabled(true);
  view_.SetButton2Caption(kExitCaption);
  view_.SetProgress(0);
  if (focus_held_for_button1_) {
    focus_held_for_button1_ = false;
    view_.RestoreFocusToButton1();
  }
}

void WindowController::PhaseStarted(RunPhase phase, std::int64_t) {
  // The output exists: the run is under way.
  if (phase == RunPhase::kReading) EnterRunning();
}

void WindowController::SetProgress(int position, std::int64_t) {
  // The engine passes values outside 0..100 through; the bar shows them
  // empty or full.
  view_.SetProgress(std::clamp(position, 0, 100));
}

void WindowController::ProcessMessages() { DispatchPending(); }

// The window keeps painting and taking clicks while the run waits for a
// worker thread or for the disk.
void WindowController::WhileWaiting() { DispatchPending(); }

void WindowController::DispatchPending() {
  const auto now = clock_();
  if (dispatched_in_run_ && now - last_dispatch_ < message_interval_) return;
  view_.ProcessPendingMessages();
  last_dispatch_ = clock_();
  dispatched_in_run_ = true;
  if (abandon_requested_) throw RunAbandoned{};
}

bool WindowController::StopRequested() { return view_.Button2Caption() == kExitCaption; }

bool WindowController::FirstCoveringWanted() { return view_.SurfaceChecked(); }

}  // namespace pelmoro
