// pelmoro: the STL to HZM converter window.
#include <QApplication>
#include <cfenv>

#include "app/application_icon.h"
#include "app/main_window.h"
#include "app/termination_signals.h"
#include "app/window_fonts.h"
#include "app/window_language.h"
#include "foundation/geometry_store.h"
#include "foundation/numbers.h"
#include "os/env.h"

int main(int argc, char* argv[]) {
  // The program's modules: the default floating-point settings (extended
  // precision, round to nearest), the locale's decimal separator, the store.
  std::fesetenv(FE_DFL_ENV);
  pelmoro::SetDecimalSeparator(pelmoro::LocaleDecimalSeparator());
  pelmoro::GeometryStore store;
  // Before Qt starts its threads: named temporary files go on every end that
  // can be caught, exit() included, which is how Qt ends on a lost display.
  pelmoro::CurrentEnv().RemoveTemporariesOnAbruptEnd();

  QApplication application(argc, argv);
  pelmoro::RegisterFontSubstitutes();
  // Before the window makes its dialogs: their labels in the user's language.
  pelmoro::InstallQtTranslations(QLocale::system());
  pelmoro::OpenWindowCatalog();
  QApplication::setWindowIcon(pelmoro::ApplicationIcon());
  QGuiApplication::setDesktopFileName(QStringLiteral("pelmoro"));

  pelmoro::TForm1 form(store);
  pelmoro::TerminationSignals termination;
  QObject::connect(&termination, &pelmoro::TerminationSignals::arrived, &form,
                   &pelmoro::TForm1::EndForSignal);
  form.show();
  QApplication::exec();
  return 0;
}
