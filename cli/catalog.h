// The command line's messages in the user's language: English texts, looked
// up in the stl2hzm gettext catalog of the LC_MESSAGES locale, or, in a
// build without gettext, in the catalogs compiled in (catalog_embedded.h).
#pragma once

#include <cstdint>
#include <string>

#include "cli/message_fields.h"

namespace pelmoro::cli {

inline constexpr char kTextDomain[] = "stl2hzm";

// Takes the message locale from the environment (LC_ALL, LC_MESSAGES, LANG,
// as setlocale does; no other category is touched) and binds the catalog
// folder: share/locale beside the executable's folder, which is the build
// tree's layout and the installed one's alike. Catalogs are read as UTF-8
// whatever LC_CTYPE says. With the catalogs compiled in it does nothing:
// SetMessageLanguage chooses.
void OpenMessageCatalog();

// Marks an English message for the catalog's list of ids (xgettext
// --keyword=N_) where it is chosen before it is translated.
constexpr const char* N_(const char* english) { return english; }

// The translation of an English message, each "{name}" in it replaced by
// the field of that name. A translation may leave fields out.
std::string Translate(const char* english, Fields fields = {});
// The same for a message about count things: one for 1, other otherwise
// (as the language's plural rule says); "{count}" is filled in.
std::string TranslatePlural(const char* one, const char* other, std::uint64_t count,
                            Fields fields = {});

}  // namespace pelmoro::cli
