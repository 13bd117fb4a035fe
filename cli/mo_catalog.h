// A compiled message catalog (the .mo files msgfmt writes) read from its
// bytes: what the build without gettext looks messages up in.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace pelmoro::cli {

class MoCatalog {
 public:
  // Reads the catalog's tables from bytes, which must outlive it: either
  // byte order, revision 0 or 1, strings inside the bytes and ending in a 0
  // byte, message ids in order, texts in UTF-8. The header's plural rule
  // must be "nplurals=1; plural=0;" or "nplurals=2; plural=(n != 1);".
  // Raises Exception, naming what is wrong, for anything else.
  explicit MoCatalog(std::string_view bytes);

  // The translation of msgid; nothing when the catalog has none.
  std::optional<std::string_view> Find(std::string_view msgid) const;
  // The translation of the message about count things whose singular id is
  // one, in the plural form the rule gives for count; nothing when the
  // catalog has none.
  std::optional<std::string_view> FindPlural(std::string_view one, std::uint64_t count) const;

 private:
  std::uint32_t Word(std::size_t at) const;
  // String n of the table at table_offset, without its 0 byte.
  std::string_view StringAt(std::uint32_t table_offset, std::uint32_t n) const;
  // The index of msgid's entry, or count_ when there is none.
  std::uint32_t IndexOf(std::string_view msgid) const;
  void CheckTables() const;
  void ReadPluralRule();

  std::string_view bytes_;
  bool swapped_ = false;  // the file's byte order is not this machine's
  std::uint32_t count_ = 0;
  std::uint32_t originals_ = 0;     // offset of the id table
  std::uint32_t translations_ = 0;  // offset of the translation table
  int plurals_ = 2;                 // 1: one form for every count; 2: one for 1, another else
};

}  // namespace pelmoro::cli
