#include "app/window_language.h"

#include <libintl.h>

#include <QCoreApplication>
#include <QLibraryInfo>

#include "run/message_templates.h"

namespace pelmoro {

namespace {

constexpr char kDomain[] = "stl2hzm";

}  // namespace

QTranslator* InstallQtTranslations(const QLocale& locale) {
  auto* translator = new QTranslator(QCoreApplication::instance());
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return nullptr;
  }
  return translator;
}

void OpenWindowCatalog(const std::string& folder) {
  // QCoreApplication has taken the locale from the environment already.
  const std::string where =
      folder.empty() ? (QCoreApplication::applicationDirPath() + "/../share/locale").toStdString()
                     : folder;
  ::bindtextdomain(kDomain, where.c_str());
  ::bind_textdomain_codeset(kDomain, "UTF-8");
}

std::string WindowMessage(std::string_view message) {
  return TranslateMessage(message,
                          [](const char* id) { return std::string(::dgettext(kDomain, id)); });
}

}  // namespace pelmoro
