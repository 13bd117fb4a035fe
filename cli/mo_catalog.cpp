#include "cli/mo_catalog.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "foundation/errors.h"

namespace pelmoro::cli {

namespace {

constexpr std::uint32_t kMagic = 0x950412de;
constexpr std::uint32_t kSwappedMagic = 0xde120495;
// Magic, revision, message count, offsets of the id and translation
// tables, size and offset of the hash table (not used: ids are searched
// by halves, as they are sorted).
constexpr std::size_t kHeaderBytes = 28;
constexpr std::size_t kEntryBytes = 8;  // length, offset

[[noreturn]] void Refuse(const std::string& why) { throw Exception("message catalog: " + why); }

// What a lookup compares: an id up to its first 0 byte, which ends the
// singular id of a plural message.
std::string_view KeyOf(std::string_view id) { return id.substr(0, id.find('\0')); }

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The value of the header line "name: value", trimmed; nothing without one.
std::optional<std::string_view> HeaderField(std::string_view header, std::string_view name) {
  while (!header.empty()) {
    const std::size_t end = std::min(header.find('\n'), header.size());
    const std::string_view line = header.substr(0, end);
    if (line.size() > name.size() && line.substr(0, name.size()) == name &&
        line[name.size()] == ':') {
      return Trimmed(line.substr(name.size() + 1));
    }
    header.remove_prefix(std::min(end + 1, header.size()));
  }
  return std::nullopt;
}

bool IsUtf8Charset(std::string_view content_type) {
  const std::size_t at = content_type.find("charset=");
  if (at == std::string_view::npos) return false;
  std::string charset(Trimmed(content_type.substr(at + 8)));
  for (char& c : charset) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return charset == "utf-8";
}

}  // namespace

MoCatalog::MoCatalog(std::string_view bytes) : bytes_(bytes) {
  if (bytes_.size() < kHeaderBytes) Refuse("shorter than its header");
  std::uint32_t magic = 0;
  std::memcpy(&magic, bytes_.data(), sizeof magic);
  if (magic == kSwappedMagic) {
    swapped_ = true;
  } else if (magic != kMagic) {
    Refuse("not a compiled catalog");
  }
  if (Word(4) >> 16 > 1) Refuse("revision " + std::to_string(Word(4) >> 16) + " unknown");
  count_ = Word(8);
  originals_ = Word(12);
  translations_ = Word(16);
  CheckTables();
  ReadPluralRule();
}

std::uint32_t MoCatalog::Word(std::size_t at) const {
  std::uint32_t word = 0;
  std::memcpy(&word, bytes_.data() + at, sizeof word);
  return swapped_ ? __builtin_bswap32(word) : word;
}

std::string_view MoCatalog::StringAt(std::uint32_t table_offset, std::uint32_t n) const {
  const std::size_t entry = table_offset + std::size_t{n} * kEntryBytes;
  return bytes_.substr(Word(entry + 4), Word(entry));
}

// Every entry inside the bytes, every string followed by its 0 byte, and
// the ids in increasing order (the order lookups search in).
void MoCatalog::CheckTables() const {
  for (const std::uint32_t table : {originals_, translations_}) {
    if (table + std::uint64_t{count_} * kEntryBytes > bytes_.size()) {
      Refuse("a table runs past the end");
    }
    for (std::uint32_t n = 0; n < count_; ++n) {
      const std::size_t entry = table + std::size_t{n} * kEntryBytes;
      const std::uint64_t end = std::uint64_t{Word(entry + 4)} + Word(entry);
      if (end >= bytes_.size() || bytes_[end] != '\0') Refuse("a string runs past the end");
    }
  }
  for (std::uint32_t n = 1; n < count_; ++n) {
    if (!(KeyOf(StringAt(originals_, n - 1)) < KeyOf(StringAt(originals_, n)))) {
      Refuse("message ids out of order");
    }
  }
}

void MoCatalog::ReadPluralRule() {
  const std::optional<std::string_view> header = Find("");
  if (!header) Refuse("no header");
  const std::optional<std::string_view> type = HeaderField(*header, "Content-Type");
  if (!type || !IsUtf8Charset(*type)) Refuse("texts not in UTF-8");
  const std::optional<std::string_view> rule = HeaderField(*header, "Plural-Forms");
  if (rule == "nplurals=1; plural=0;") {
    plurals_ = 1;
  } else if (rule == "nplurals=2; plural=(n != 1);") {
    plurals_ = 2;
  } else {
    Refuse("plural rule '" + std::string(rule.value_or("")) + "' not supported");
  }
}

std::uint32_t MoCatalog::IndexOf(std::string_view msgid) const {
  std::uint32_t low = 0, high = count_;
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    const std::string_view key = KeyOf(StringAt(originals_, middle));
    if (key == msgid) return middle;
    if (key < msgid) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return count_;
}

std::optional<std::string_view> MoCatalog::Find(std::string_view msgid) const {
  const std::uint32_t n = IndexOf(msgid);
  if (n == count_) return std::nullopt;
  return KeyOf(StringAt(translations_, n));
}

std::optional<std::string_view> MoCatalog::FindPlural(std::string_view one,
                                                      std::uint64_t count) const {
  const std::uint32_t n = IndexOf(one);
  if (n == count_) return std::nullopt;
  const std::string_view forms = StringAt(translations_, n);
  std::string_view form = forms;
  // As gettext does: a form the entry lacks gives its first.
  for (int k = plurals_ == 2 && count != 1 ? 1 : 0; k > 0; --k) {
    const std::size_t end = form.find('\0');
    if (end == std::string_view::npos) return KeyOf(forms);
    form.remove_prefix(end + 1);
  }
  return KeyOf(form);
}

}  // namespace pelmoro::cli
