#include "tests/support/recording_view.h"

#include <utility>

namespace pelmoro::testing {

void RecordingView::ClickCloseBox() {
  if (controller == nullptr || controller->CloseRequested()) {
    closed = true;
    log.push_back("closed");
  } else {
    log.push_back("close deferred");
  }
}

bool RecordingView::SurfaceChecked() {
  ++surface_reads;
  return surface;
}

void RecordingView::SetButton1Enabled(bool enabled) {
  button1_enabled = enabled;
  log.push_back(enabled ? "Button1 on" : "Button1 off");
}

void RecordingView::SetButton2Caption(const std::string& text) {
  caption = text;
  log.push_back("caption " + text);
}

void RecordingView::SetProgress(int position) {
  progress = position;
  positions.push_back(position);
}

void RecordingView::ShowBox(const std::string& kind, const std::string& text,
                            bool close_by_itself) {
  log.push_back(kind + " " + text + (close_by_itself ? " (by itself)" : ""));
  if (while_box_open) std::exchange(while_box_open, nullptr)();
}

void RecordingView::ShowMessageBox(const std::string& text, bool close_by_itself) {
  ShowBox("message", text, close_by_itself);
}

void RecordingView::ShowErrorBox(const std::string& text, bool close_by_itself) {
  ShowBox("error", text, close_by_itself);
}

bool RecordingView::AskInputName(std::string* name) {
  log.push_back("open");
  if (!input_answer) return false;
  *name = *input_answer;
  return true;
}

bool RecordingView::AskOutputName(const std::string& proposed, std::string* name) {
  log.push_back("save");
  proposals.push_back(proposed);
  if (!output_answer) return false;
  *name = *output_answer;
  return true;
}

void RecordingView::ProcessPendingMessages() {
  ++dispatches;
  while (!pending.empty()) {
    const std::function<void()> message = std::move(pending.front());
    pending.pop_front();
    message();
  }
}

bool RecordingView::HoldFocusFromButton1() {
  if (!focus_on_button1) return false;
  focus_on_button1 = false;
  log.push_back("focus held");
  return true;
}

void RecordingView::RestoreFocusToButton1() {
  focus_on_button1 = true;
  log.push_back("focus back");
}

}  // namespace pelmoro::testing
