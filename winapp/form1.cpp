// Form1's look and keyboard: the controls at their designed places, the tab
// order, the default button, the fonts and what closing the window does.
#include "winapp/form1.h"

#include <commctrl.h>

#include <exception>

#include "run/messages.h"
#include "winapp/form_layout.h"
#include "winapp/message_boxes.h"

namespace pelmoro::winapp {
namespace {

constexpr wchar_t kClassName[] = L"TForm1";
constexpr wchar_t kCaption[] = L"PELMORO";
constexpr wchar_t kFontFamily[] =
    L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF";  // ＭＳ Ｐゴシック
constexpr wchar_t kNotice[] = L"Pitch 0.025 to 6.375 mm\r\nSurface: first in file";

enum ControlId : int { kButton1Id = 101, kButton2Id, kEdit1Id, kCheckBox1Id };

constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW;

HFONT MakeFont(int pixels) {
  return ::CreateFontW(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, kFontFamily);
}

// The text height of a font as rendered (ascent plus descent), px.
int TextHeight(HWND window, HFONT font) {
  HDC dc = ::GetDC(window);
  HGDIOBJ old = ::SelectObject(dc, font);
  TEXTMETRICW metrics = {};
  ::GetTextMetricsW(dc, &metrics);
  ::SelectObject(dc, old);
  ::ReleaseDC(window, dc);
  return metrics.tmHeight;
}

HWND MakeControl(HWND parent, HINSTANCE instance, const wchar_t* kind, const wchar_t* text,
                 DWORD style, DWORD extended, int id) {
  return ::CreateWindowExW(extended, kind, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

}  // namespace

TForm1::TForm1()
    : OpenDialog1(FileDialog::Kind::kOpen, L"STL", L"*.stl"),
      SaveDialog1(FileDialog::Kind::kSave, L"HZM", L"*.hzm") {}

TForm1::~TForm1() {
  if (window_ != nullptr) ::DestroyWindow(window_);
  if (window_font_ != nullptr) ::DeleteObject(window_font_);
  if (large_font_ != nullptr) ::DeleteObject(large_font_);
}

bool TForm1::Create(HINSTANCE instance, FormEvents* events) {
  events_ = events;
  WNDCLASSEXW form_class = {};
  form_class.cbSize = sizeof form_class;
  form_class.lpfnWndProc = WindowProcedure;
  form_class.hInstance = instance;
  form_class.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
  form_class.hIconSm = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                       ::GetSystemMetrics(SM_CXSMICON),
                                                       ::GetSystemMetrics(SM_CYSMICON), 0));
  form_class.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  form_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form_class.lpszClassName = kClassName;
  // Registered once for the process, however many forms it makes.
  if (::RegisterClassExW(&form_class) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return false;
  }
  // Made at its place first: its resolution is that of the screen it is on.
  window_ = ::CreateWindowExW(0, kClassName, kCaption, kWindowStyle, kWindowLeft, kWindowTop,
                              kClientWidth, kClientHeight, nullptr, nullptr, instance, this);
  if (window_ == nullptr) return false;
  CreateControls(instance);
  ApplyResolution(static_cast<int>(::GetDpiForWindow(window_)));
  // The outer top-left corner stays where it was designed; the client area
  // has the scaled size.
  RECT outer = {0, 0, Scaled(kClientWidth, scale_), Scaled(kClientHeight, scale_)};
  ::AdjustWindowRectExForDpi(&outer, kWindowStyle, FALSE, 0, ::GetDpiForWindow(window_));
  ::SetWindowPos(window_, nullptr, kWindowLeft, kWindowTop, outer.right - outer.left,
                 outer.bottom - outer.top, SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

void TForm1::CreateControls(HINSTANCE instance) {
  // Created in the designed order: later controls lie above earlier ones,
  // and the tab stops follow it (Edit1, Button1, Button2, CheckBox1).
  const DWORD label = SS_LEFT | SS_NOPREFIX;
  Label1 = MakeControl(window_, instance, L"STATIC", L"mm", label, 0, -1);
  Label2 = MakeControl(window_, instance, L"STATIC", L"STL to HZM converter", label, 0, -1);
  Label3 = MakeControl(window_, instance, L"STATIC", L"Mesh size", label, 0, -1);
  Label4 = MakeControl(window_, instance, L"STATIC", kNotice, label, 0, -1);
  Edit1 = MakeControl(window_, instance, L"EDIT", L"0.1", WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL,
                      WS_EX_CLIENTEDGE, kEdit1Id);
  Button1 = MakeControl(window_, instance, L"BUTTON", L"Convert", WS_TABSTOP | BS_DEFPUSHBUTTON, 0,
                        kButton1Id);
  Button2 =
      MakeControl(window_, instance, L"BUTTON", L"Exit", WS_TABSTOP | BS_PUSHBUTTON, 0, kButton2Id);
  ProgressBar1 = MakeControl(window_, instance, PROGRESS_CLASSW, L"", 0, 0, -1);
  CheckBox1 = MakeControl(window_, instance, L"BUTTON", L"Surface",
                          WS_TABSTOP | BS_AUTOCHECKBOX | BS_LEFT, 0, kCheckBox1Id);
  ::SendMessageW(Edit1, EM_SETLIMITTEXT, 0, 0);  // no limit of its own
  ::SendMessageW(ProgressBar1, PBM_SETRANGE32, 0, 100);
  ::SendMessageW(ProgressBar1, PBM_SETPOS, 0, 0);
}

void TForm1::ApplyResolution(int dpi) {
  // The window font in proportion to the screen's resolution; then, when
  // its text measures other than 12 px (scaled, or another font standing
  // in), everything else in proportion to that.
  if (window_font_ != nullptr) ::DeleteObject(window_font_);
  if (large_font_ != nullptr) ::DeleteObject(large_font_);
  window_font_ = MakeFont(WindowFontPixels(dpi));
  scale_ = winapp::LayoutScale(TextHeight(window_, window_font_));
  large_font_ = MakeFont(Scaled(kLargeFontPixels, scale_));
  for (HWND control : {Label4, Edit1}) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(window_font_), FALSE);
  }
  for (HWND control : {Label1, Label2, Label3, Button1, Button2, CheckBox1}) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(large_font_), FALSE);
  }
  PlaceControls();
}

void TForm1::PlaceControls() {
  PlaceLabel(Label1, kLabel1, large_font_);
  PlaceLabel(Label2, kLabel2, large_font_);
  PlaceLabel(Label3, kLabel3, large_font_);
  PlaceLabel(Label4, kLabel4, window_font_);
  const struct {
    HWND control;
    Place place;
  } fixed[] = {{Edit1, kEdit1},
               {Button1, kButton1},
               {Button2, kButton2},
               {ProgressBar1, kProgressBar1},
               {CheckBox1, kCheckBox1}};
  for (const auto& [control, place] : fixed) {
    const Place p = Scaled(place, scale_);
    ::MoveWindow(control, p.left, p.top, p.width, p.height, TRUE);
  }
}

// Labels size themselves to their text; only the corner is designed.
void TForm1::PlaceLabel(HWND label, const Place& place, HFONT font) {
  wchar_t text[128] = {};
  const int length = ::GetWindowTextW(label, text, 128);
  HDC dc = ::GetDC(label);
  HGDIOBJ old = ::SelectObject(dc, font);
  RECT extent = {0, 0, 0, 0};
  ::DrawTextW(dc, text, length, &extent, DT_CALCRECT | DT_LEFT | DT_NOPREFIX);
  ::SelectObject(dc, old);
  ::ReleaseDC(label, dc);
  ::MoveWindow(label, Scaled(place.left, scale_), Scaled(place.top, scale_), extent.right,
               extent.bottom, TRUE);
}

void TForm1::Show(int show) {
  ::ShowWindow(window_, show);
  ::UpdateWindow(window_);
  ::SetFocus(Edit1);
  ::SendMessageW(Edit1, EM_SETSEL, 0, -1);
}

bool TForm1::TakeKeyboardMessage(MSG* message) {
  if (window_ == nullptr) return false;
  if (message->hwnd != window_ && !::IsChild(window_, message->hwnd)) return false;
  if (message->message == WM_KEYDOWN || message->message == WM_CHAR) {
    const bool enter = message->wParam == (message->message == WM_KEYDOWN ? VK_RETURN : L'\r');
    const bool held = (::GetKeyState(VK_SHIFT) | ::GetKeyState(VK_CONTROL)) < 0;
    if (enter && !held) {
      if (message->message == WM_KEYDOWN) ClickButton(::GetFocus() == Button2 ? Button2 : Button1);
      return true;
    }
    // The window has no cancel button.
    if (message->wParam == (message->message == WM_KEYDOWN ? VK_ESCAPE : 27)) return true;
  }
  return ::IsDialogMessageW(window_, message) != FALSE;
}

void TForm1::ClickButton(HWND button) {
  if (!::IsWindowEnabled(button)) return;
  ::SendMessageW(window_, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void TForm1::Forward(void (FormEvents::*handler)()) {
  if (events_ == nullptr) return;
  // Nothing may unwind through the system's frames: what a handler lets
  // pass is shown, and the window goes on.
  try {
    (events_->*handler)();
  } catch (const std::exception& error) {
    ShowErrorBox(window_, ErrorBoxText(error.what()), false);
  }
}

LRESULT CALLBACK TForm1::WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<TForm1*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    form->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<TForm1*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) return ::DefWindowProcW(window, message, wparam, lparam);
  return form->Handle(message, wparam, lparam);
}

LRESULT TForm1::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == kButton1Id) {
        Forward(&FormEvents::Button1Click);
      } else if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == kButton2Id) {
        Forward(&FormEvents::Button2Click);
      }
      return 0;
    case WM_CLOSE:
      // During a run the request is recorded and the window closes after it.
      if (events_ == nullptr || events_->CloseRequested()) ::DestroyWindow(window_);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wparam != FALSE && events_ != nullptr) events_->SessionEnding();
      return 0;
    case WM_DPICHANGED: {
      ApplyResolution(HIWORD(wparam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
      ::SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
      window_ = nullptr;
      return 0;
    default:
      return ::DefWindowProcW(window_, message, wparam, lparam);
  }
}

}  // namespace pelmoro::winapp
