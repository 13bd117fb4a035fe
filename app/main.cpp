// pelmoro: the STL to HZM converter window.
#include <QApplication>
#include <cfenv>

#include "app/application_icon.h"
#include "app/main_window.h"
#include "app/window_fonts.h"
#include "foundation/geometry_store.h"
#include "foundation/numbers.h"

int main(int argc, char* argv[]) {
  // The program's modules: the default floating-point settings (extended
  // precision, round to nearest), the locale's decimal separator, the store.
  std::fesetenv(FE_DFL_ENV);
  pelmoro::SetDecimalSeparator(pelmoro::LocaleDecimalSeparator());
  pelmoro::GeometryStore store;

  QApplication application(argc, argv);
  pelmoro::RegisterFontSubstitutes();
  QApplication::setWindowIcon(pelmoro::ApplicationIcon());
  QGuiApplication::setDesktopFileName(QStringLiteral("pelmoro"));

  pelmoro::TForm1 form(store);
  form.show();
  QApplication::exec();
  return 0;
}
