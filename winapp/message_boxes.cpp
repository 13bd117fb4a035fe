#include "winapp/message_boxes.h"

#include <string>

#include "os/windows_support.h"
#include "winapp/application_title.h"
#include "winapp/fp_guard.h"

namespace pelmoro::winapp {
namespace {

// The box being shown should close at once: it is pressed OK as soon as
// it is activated.
HHOOK close_hook = nullptr;

LRESULT CALLBACK CloseOnActivate(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE) {
    ::PostMessageW(reinterpret_cast<HWND>(wparam), WM_COMMAND, IDOK, 0);
  }
  return ::CallNextHookEx(close_hook, code, wparam, lparam);
}

// Messages may carry "\n" alone; the box wants "\r\n".
std::wstring BoxText(std::string_view text) {
  std::string lines;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) lines += '\r';
    lines += text[i];
  }
  return windows::Wide(lines);
}

void ShowBox(HWND owner, std::string_view text, UINT icon, bool close_at_once) {
  FpGuard keep_arithmetic;
  if (close_at_once) {
    close_hook = ::SetWindowsHookExW(WH_CBT, CloseOnActivate, nullptr, ::GetCurrentThreadId());
  }
  ::MessageBoxW(owner, BoxText(text).c_str(), ApplicationTitle().c_str(),
                MB_OK | icon | MB_APPLMODAL);
  if (close_hook != nullptr) {
    ::UnhookWindowsHookEx(close_hook);
    close_hook = nullptr;
  }
}

}  // namespace

void ShowMessageBox(HWND owner, std::string_view text, bool close_at_once) {
  ShowBox(owner, text, 0, close_at_once);
}

void ShowErrorBox(HWND owner, std::string_view text, bool close_at_once) {
  ShowBox(owner, text, MB_ICONERROR, close_at_once);
}

}  // namespace pelmoro::winapp
