#include "cli/catalog.h"

#include <libintl.h>
#include <locale.h>

#include <string>

#include "os/env.h"

namespace pelmoro::cli {

namespace {

std::string ExecutableFolder() {
  const std::string exe = CurrentEnv().ExecutablePath();
  const std::size_t slash = exe.rfind('/');
  return slash == std::string::npos ? "." : exe.substr(0, slash);
}

}  // namespace

void OpenMessageCatalog() {
  ::setlocale(LC_MESSAGES, "");
  const std::string folder = ExecutableFolder() + "/../share/locale";
  ::bindtextdomain(kTextDomain, folder.c_str());
  ::bind_textdomain_codeset(kTextDomain, "UTF-8");
}

std::string Translate(const char* english, Fields fields) {
  return FillFields(::dgettext(kTextDomain, english), fields);
}

std::string TranslatePlural(const char* one, const char* other, std::uint64_t count,
                            Fields fields) {
  const std::string number = std::to_string(count);
  std::string text = FillFields(::dngettext(kTextDomain, one, other, count), fields);
  return FillFields(std::move(text), {{"count", number}});
}

}  // namespace pelmoro::cli
