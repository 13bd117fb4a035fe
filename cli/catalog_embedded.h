// The message catalogs compiled into the executable, for a build without
// gettext (Windows): the .mo files msgfmt makes from po/, embedded at build
// time, and the language the messages are given in.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace pelmoro::cli {

struct EmbeddedCatalog {
  const char* language;  // "ja": the po/ file's name
  const unsigned char* bytes;
  std::size_t size;
};

// Every catalog compiled in (the file generated from po/ defines it).
std::span<const EmbeddedCatalog> EmbeddedCatalogs();

// Gives the messages in the language of code ("ja", "en"): the embedded
// catalog of that name, the English texts for "en" and any code without
// one. English until first called. Call it before messages are looked up,
// from one thread. Raises Exception when that catalog cannot be read (see
// MoCatalog); the English texts stay chosen then.
void SetMessageLanguage(std::string_view code);

}  // namespace pelmoro::cli
