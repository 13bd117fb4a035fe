// Form1 as the run logic sees it: WindowView on the Win32 controls, and the
// window's clicks and close requests passed on to the WindowController.
#pragma once

#include <windows.h>

#include <string>

#include "control/window_controller.h"
#include "control/window_view.h"
#include "winapp/form1.h"

namespace pelmoro::winapp {

class FormView : public WindowView, public FormEvents {
 public:
  // The form must outlive the view; Attach the controller before the form
  // takes input.
  explicit FormView(TForm1& form) : form_(form) {}
  void Attach(WindowController* controller) { controller_ = controller; }

  // What the window forwards.
  void Button1Click() override;
  void Button2Click() override;
  bool CloseRequested() override;
  void SessionEnding() override;

  // WindowView.
  std::string PitchText() override;
  bool SurfaceChecked() override;
  bool Button1Enabled() override;
  void SetButton1Enabled(bool enabled) override;
  std::string Button2Caption() override;
  void SetButton2Caption(const std::string& caption) override;
  void SetProgress(int position) override;
  void ShowMessageBox(const std::string& text, bool close_by_itself) override;
  void ShowErrorBox(const std::string& text, bool close_by_itself) override;
  bool AskInputName(std::string* name) override;
  bool AskOutputName(const std::string& proposed, std::string* name) override;
  void ProcessPendingMessages() override;
  void CloseOpenDialogs() override;
  void CloseWindow() override;
  bool HoldFocusFromButton1() override;
  void RestoreFocusToButton1() override;

 private:
  TForm1& form_;
  WindowController* controller_ = nullptr;
};

// A control's text, UTF-8.
std::string ControlText(HWND control);

}  // namespace pelmoro::winapp
