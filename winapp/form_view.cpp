#include "winapp/form_view.h"

#include <commctrl.h>

#include <vector>

#include "os/windows_support.h"
#include "winapp/message_boxes.h"

namespace pelmoro::winapp {
namespace {

// The class of the system's dialogs and message boxes.
constexpr wchar_t kDialogClass[] = L"#32770";

BOOL CALLBACK CancelDialog(HWND window, LPARAM) {
  wchar_t kind[16] = {};
  ::GetClassNameW(window, kind, 16);
  if (::IsWindowVisible(window) && std::wstring_view(kind) == kDialogClass) {
    ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
  }
  return TRUE;
}

}  // namespace

std::string ControlText(HWND control) {
  const int length = ::GetWindowTextLengthW(control);
  std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
  ::GetWindowTextW(control, text.data(), length + 1);
  return windows::Narrow(text.data());
}

void FormView::Button1Click() {
  if (controller_ != nullptr) controller_->Button1Click();
}

void FormView::Button2Click() {
  if (controller_ != nullptr) controller_->Button2Click();
}

bool FormView::CloseRequested() { return controller_ == nullptr || controller_->CloseRequested(); }

void FormView::SessionEnding() {
  // As a termination signal: a run under way is abandoned, the window goes.
  if (controller_ != nullptr) controller_->EndForSignal();
}

std::string FormView::PitchText() { return ControlText(form_.Edit1); }

bool FormView::SurfaceChecked() {
  return ::SendMessageW(form_.CheckBox1, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool FormView::Button1Enabled() { return ::IsWindowEnabled(form_.Button1) != FALSE; }

void FormView::SetButton1Enabled(bool enabled) { ::EnableWindow(form_.Button1, enabled); }

std::string FormView::Button2Caption() { return ControlText(form_.Button2); }

void FormView::SetButton2Caption(const std::string& caption) {
  ::SetWindowTextW(form_.Button2, windows::Wide(caption).c_str());
}

void FormView::SetProgress(int position) {
  ::SendMessageW(form_.ProgressBar1, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void FormView::ShowMessageBox(const std::string& text, bool close_by_itself) {
  winapp::ShowMessageBox(form_.Handle(), text, close_by_itself);
}

void FormView::ShowErrorBox(const std::string& text, bool close_by_itself) {
  winapp::ShowErrorBox(form_.Handle(), text, close_by_itself);
}

bool FormView::AskInputName(std::string* name) {
  if (!form_.OpenDialog1.Execute(form_.Handle())) return false;
  *name = form_.OpenDialog1.FileName();
  return true;
}

bool FormView::AskOutputName(const std::string& proposed, std::string* name) {
  form_.SaveDialog1.SetFileName(proposed);
  if (!form_.SaveDialog1.Execute(form_.Handle())) return false;
  *name = form_.SaveDialog1.FileName();
  return true;
}

void FormView::ProcessPendingMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // For the loop of the program, once the run has returned to it.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (form_.TakeKeyboardMessage(&message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void FormView::CloseOpenDialogs() { ::EnumThreadWindows(::GetCurrentThreadId(), CancelDialog, 0); }

// As the close box does; the window asks the controller when the message
// arrives.
void FormView::CloseWindow() { ::PostMessageW(form_.Handle(), WM_CLOSE, 0, 0); }

bool FormView::HoldFocusFromButton1() {
  if (::GetFocus() != form_.Button1) return false;
  // Disabling the focused Button1 would leave Enter to Button2.
  ::SetFocus(form_.Handle());
  return true;
}

void FormView::RestoreFocusToButton1() { ::SetFocus(form_.Button1); }

}  // namespace pelmoro::winapp
