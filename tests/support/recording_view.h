// A WindowView for the window controller's tests: controls held as plain
// values, dialogs and boxes answered from the test's script, and every
// change the controller makes written to a log in words.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "control/window_controller.h"
#include "control/window_view.h"

namespace pelmoro::testing {

class RecordingView : public WindowView {
 public:
  // The controller the close box and CloseWindow ask (set before a close).
  WindowController* controller = nullptr;

  // The controls.
  std::string pitch_text = "0.1";
  bool surface = false;
  bool button1_enabled = true;
  std::string caption = kExitCaption;
  int progress = 0;
  bool focus_on_button1 = false;
  bool closed = false;

  // The answers of the dialogs; nullopt cancels.
  std::optional<std::string> input_answer;
  std::optional<std::string> output_answer;

  // Messages waiting for the next pass (a click, a close request); each
  // runs once, in order, when the controller processes pending messages.
  std::deque<std::function<void()>> pending;
  // Runs while a message or error box is open (once, then cleared).
  std::function<void()> while_box_open;

  // What the controller did, in order: "open", "save", "Button1 off",
  // "Button1 on", "caption Stop", "message Complate !", "error ... (by
  // itself)", "dialogs closed", "closed", "close deferred", "focus held",
  // "focus back". Progress and passes are counted apart.
  std::vector<std::string> log;
  std::vector<std::string> proposals;  // SaveDialog1's proposed names
  std::vector<int> positions;          // every bar position set
  int dispatches = 0;                  // calls of ProcessPendingMessages
  int surface_reads = 0;

  // The close box: asks the controller, closes when it agrees.
  void ClickCloseBox();

  std::string PitchText() override { return pitch_text; }
  bool SurfaceChecked() override;
  bool Button1Enabled() override { return button1_enabled; }
  void SetButton1Enabled(bool enabled) override;
  std::string Button2Caption() override { return caption; }
  void SetButton2Caption(const std::string& text) override;
  void SetProgress(int position) override;
  void ShowMessageBox(const std::string& text, bool close_by_itself) override;
  void ShowErrorBox(const std::string& text, bool close_by_itself) override;
  bool AskInputName(std::string* name) override;
  bool AskOutputName(const std::string& proposed, std::string* name) override;
  void ProcessPendingMessages() override;
  void CloseOpenDialogs() override { log.push_back("dialogs closed"); }
  void CloseWindow() override { ClickCloseBox(); }
  bool HoldFocusFromButton1() override;
  void RestoreFocusToButton1() override;

 private:
  void ShowBox(const std::string& kind, const std::string& text, bool close_by_itself);
};

}  // namespace pelmoro::testing
