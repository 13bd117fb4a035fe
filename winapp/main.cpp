// pelmoro.exe: the STL to HZM converter window, in plain Win32.
#include <windows.h>
// The common controls need windows.h before them.
#include <commctrl.h>

#include <cfenv>
#include <string>
#include <string_view>

#include "cli/catalog.h"
#include "control/window_controller.h"
#include "foundation/geometry_store.h"
#include "foundation/numbers.h"
#include "run/message_templates.h"
#include "winapp/form1.h"
#include "winapp/form_view.h"

namespace {

// The converter's messages in the user's language (the system's UI
// language), from the catalogs compiled in, as stl2hzm.exe gives them.
std::string MessageInUserLanguage(std::string_view message) {
  return pelmoro::TranslateMessage(message,
                                   [](const char* id) { return pelmoro::cli::Translate(id); });
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  // The program's modules: the default floating-point settings (extended
  // precision, round to nearest), the locale's decimal separator, the store.
  std::fesetenv(FE_DFL_ENV);
  pelmoro::SetDecimalSeparator(pelmoro::LocaleDecimalSeparator());
  pelmoro::GeometryStore store;

  const INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  pelmoro::cli::OpenMessageCatalog();
  pelmoro::winapp::TForm1 form;
  pelmoro::winapp::FormView view(form);
  pelmoro::WindowController controller(store, view, MessageInUserLanguage);
  view.Attach(&controller);
  if (!form.Create(instance, &view)) return 1;
  form.Show(show);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (form.TakeKeyboardMessage(&message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}
