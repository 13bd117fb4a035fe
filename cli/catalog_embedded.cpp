// Translate and TranslatePlural over the catalogs compiled in, for a build
// without gettext: the same texts, gettext's fallbacks included (the
// English id; for a plural message, one for 1 and other otherwise).
#include "cli/catalog_embedded.h"

#include <memory>
#include <optional>
#include <string>

#include "cli/catalog.h"
#include "cli/mo_catalog.h"
#include "os/env.h"

namespace pelmoro::cli {

namespace {

// The catalog of the chosen language; none for English.
std::unique_ptr<MoCatalog>& Chosen() {
  static std::unique_ptr<MoCatalog> chosen;
  return chosen;
}

}  // namespace

void SetMessageLanguage(std::string_view code) {
  Chosen().reset();
  for (const EmbeddedCatalog& catalog : EmbeddedCatalogs()) {
    if (code == catalog.language) {
      Chosen() = std::make_unique<MoCatalog>(
          std::string_view(reinterpret_cast<const char*>(catalog.bytes), catalog.size));
    }
  }
}

// The language the system says the user reads.
void OpenMessageCatalog() { SetMessageLanguage(CurrentEnv().MessageLanguage()); }

std::string Translate(const char* english, Fields fields) {
  std::optional<std::string_view> text;
  if (Chosen()) text = Chosen()->Find(english);
  return FillFields(std::string(text.value_or(english)), fields);
}

std::string TranslatePlural(const char* one, const char* other, std::uint64_t count,
                            Fields fields) {
  std::optional<std::string_view> text;
  if (Chosen()) text = Chosen()->FindPlural(one, count);
  const std::string number = std::to_string(count);
  std::string filled = FillFields(std::string(text.value_or(count == 1 ? one : other)), fields);
  return FillFields(std::move(filled), {{"count", number}});
}

}  // namespace pelmoro::cli
