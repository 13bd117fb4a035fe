// pelmoro.exe: the STL to HZM converter window, in plain Win32.
#include <commctrl.h>
#include <windows.h>

#include <cfenv>

#include "foundation/geometry_store.h"
#include "foundation/numbers.h"
#include "winapp/form1.h"

namespace {

// Until the run logic is wired: Exit ends the program, Convert waits.
class IdleEvents : public pelmoro::winapp::FormEvents {
 public:
  explicit IdleEvents(pelmoro::winapp::TForm1& form) : form_(form) {}
  void Button1Click() override {}
  void Button2Click() override { ::PostMessageW(form_.Handle(), WM_CLOSE, 0, 0); }
  bool CloseRequested() override { return true; }
  void SessionEnding() override {}

 private:
  pelmoro::winapp::TForm1& form_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  // The program's modules: the default floating-point settings (extended
  // precision, round to nearest), the locale's decimal separator, the store.
  std::fesetenv(FE_DFL_ENV);
  pelmoro::SetDecimalSeparator(pelmoro::LocaleDecimalSeparator());
  pelmoro::GeometryStore store;

  const INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  pelmoro::winapp::TForm1 form;
  IdleEvents events(form);
  if (!form.Create(instance, &events)) return 1;
  form.Show(show);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (form.TakeKeyboardMessage(&message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}
