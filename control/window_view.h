// What the converter window's run logic (control/window_controller.h) needs
// of a window, whatever toolkit draws it. A window implements these calls
// on its own controls and nothing more; every decision is the controller's.
// Texts are UTF-8. File names are as the program's file functions take them
// (the system's bytes on Linux, UTF-8 on Windows).
#pragma once

#include <string>

namespace pelmoro {

class WindowView {
 public:
  virtual ~WindowView() = default;

  // Edit1's text, the pitch in millimetres as the user typed it.
  virtual std::string PitchText() = 0;
  // Whether CheckBox1 ("Surface") is checked now.
  virtual bool SurfaceChecked() = 0;

  // Button1 ("Convert") enabled: no run is under way.
  virtual bool Button1Enabled() = 0;
  virtual void SetButton1Enabled(bool enabled) = 0;
  // Button2's caption: "Exit" or "Stop". "Exit" during a run is the stop
  // request, so the caption is read back, never remembered elsewhere.
  virtual std::string Button2Caption() = 0;
  virtual void SetButton2Caption(const std::string& caption) = 0;

  // ProgressBar1's position, 0..100 (the controller clamps).
  virtual void SetProgress(int position) = 0;

  // The modal message box: the application title as its caption, the text
  // with its line breaks ("\r\n" or "\n"), no icon, one OK button (Enter and
  // Esc), centred on the screen; returns when the user has closed it. With
  // close_by_itself it closes again at once after it has been shown.
  virtual void ShowMessageBox(const std::string& text, bool close_by_itself) = 0;
  // The error box: as the message box, with the stop (error) icon. The text
  // is shown as given (the controller has already added the final ".").
  virtual void ShowErrorBox(const std::string& text, bool close_by_itself) = 0;

  // OpenDialog1, filter "STL|*.stl", proposing the last name confirmed in
  // it. True with the confirmed full name, false when cancelled. The
  // floating-point environment is the same after it as before.
  virtual bool AskInputName(std::string* name) = 0;
  // SaveDialog1, filter "HZM|*.hzm", proposing the given name. True with the
  // name exactly as confirmed (no extension added), false when cancelled.
  // The floating-point environment is the same after it as before.
  virtual bool AskOutputName(const std::string& proposed, std::string* name) = 0;

  // Dispatches every window message already pending (clicks, typing,
  // painting, a close request) and returns when none is left.
  virtual void ProcessPendingMessages() = 0;
  // Closes a file dialog or box that is open, as if cancelled (a
  // termination signal ends the program); nothing when none is open.
  virtual void CloseOpenDialogs() = 0;
  // Closes the main window as its close box does: the window asks
  // WindowController::CloseRequested() and closes only when it says so.
  virtual void CloseWindow() = 0;

  // Called as a run disables Button1. When Button1 has the focus, the
  // window takes the focus itself (so that Enter cannot pass to Button2 and
  // stop the run) and returns true; otherwise returns false.
  virtual bool HoldFocusFromButton1() = 0;
  // Called as the run ends when HoldFocusFromButton1 returned true: the
  // focus goes back to Button1.
  virtual void RestoreFocusToButton1() = 0;
};

}  // namespace pelmoro
