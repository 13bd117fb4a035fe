// The window in the user's language: Qt's own texts (the file dialogs'
// labels, the buttons of its boxes) from Qt's translations, and the
// converter's messages (run/message_templates.h) from the stl2hzm catalog
// of the LC_MESSAGES locale. The window's own texts are its own, in every
// language.
#pragma once

#include <QLocale>
#include <QTranslator>
#include <string>
#include <string_view>

namespace pelmoro {

// Installs Qt's translation of its own texts for locale ("qtbase" in Qt's
// translations folder) into the application; returns it (owned by the
// application) or nullptr when there is none for that language.
QTranslator* InstallQtTranslations(const QLocale& locale);

// Binds the message catalog of the converter's messages: folder holds
// LANGUAGE/LC_MESSAGES/stl2hzm.mo; by default share/locale beside the
// program's folder, where both the build tree and an installation keep it.
void OpenWindowCatalog(const std::string& folder = {});

// One of the converter's messages in the words of the catalog of the
// LC_MESSAGES locale; as it stands when the catalog has none.
std::string WindowMessage(std::string_view message);

}  // namespace pelmoro
