// The message catalogs compiled in, held against gettext under a Japanese
// locale: every message of po/ja.po, singular and plural, the English
// texts for unknown ids and for English, test catalogs of both plural
// rules, and the catalogs the reader refuses.
#include "cli/catalog_embedded.h"

#include <gtest/gtest.h>
#include <libintl.h>
#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/catalog.h"
#include "cli/mo_catalog.h"
#include "foundation/errors.h"
#include "tests/support/special_env.h"
#include "tests/support/test_support.h"

namespace pelmoro::cli {
namespace {

struct PoEntry {
  std::string id, plural;
  std::vector<std::string> texts;  // msgstr, or msgstr[0], msgstr[1] ...
};

// The string a po line quotes, its C escapes undone.
std::string Unquoted(std::string_view line) {
  const std::size_t open = line.find('"'), close = line.rfind('"');
  std::string out;
  for (std::size_t k = open + 1; k < close; ++k) {
    if (line[k] != '\\') {
      out += line[k];
      continue;
    }
    const char c = line[++k];
    out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
  }
  return out;
}

// A po file's entries in file order, the header (id "") among them.
std::vector<PoEntry> ReadPo(const std::string& path) {
  std::istringstream in(testing::ReadFileBytes(path));
  std::vector<PoEntry> entries;
  std::string* into = nullptr;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("msgid_plural ", 0) == 0) {
      into = &entries.back().plural;
    } else if (line.rfind("msgid ", 0) == 0) {
      entries.emplace_back();
      into = &entries.back().id;
    } else if (line.rfind("msgstr", 0) == 0) {
      entries.back().texts.emplace_back();
      into = &entries.back().texts.back();
    } else if (line.rfind('"', 0) != 0) {
      into = nullptr;
    }
    if (into != nullptr) *into += Unquoted(line);
  }
  return entries;
}

std::string WithCount(std::string text, std::uint64_t count) {
  const std::string number = std::to_string(count);
  for (std::size_t at = text.find("{count}"); at != std::string::npos;
       at = text.find("{count}", at + number.size())) {
    text.replace(at, 7, number);
  }
  return text;
}

const std::uint64_t kCounts[] = {0, 1, 2, 3, 11, 21, 101, 1000000};

std::string TestMo(const std::string& domain) {
  return testing::ReadFileBytes(std::string(PELMORO_TEST_LOCALE_DIR) + "/ja/LC_MESSAGES/" + domain +
                                ".mo");
}

// gettext, the reference, reads the build tree's catalogs under ja_JP.
class JapaneseGettext : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::HasLocale("ja_JP.UTF-8")) {
      GTEST_SKIP() << "no ja_JP.UTF-8 locale here (scripts/install-deps.sh makes it)";
    }
    saved_ = ::setlocale(LC_MESSAGES, nullptr);
    ::setenv("LANGUAGE", "", 1);  // else it would choose over the locale
    ASSERT_NE(::setlocale(LC_MESSAGES, "ja_JP.UTF-8"), nullptr);
    Bind(kTextDomain, PELMORO_LOCALE_DIR);
  }
  void TearDown() override {
    if (!saved_.empty()) ::setlocale(LC_MESSAGES, saved_.c_str());
    SetMessageLanguage("en");
  }
  static void Bind(const char* domain, const char* folder) {
    ::bindtextdomain(domain, folder);
    ::bind_textdomain_codeset(domain, "UTF-8");
  }

 private:
  std::string saved_;
};

TEST_F(JapaneseGettext, EveryJapaneseMessageReadsAsGettextGivesIt) {
  const std::vector<PoEntry> entries = ReadPo(PELMORO_PO_DIR "/ja.po");
  ASSERT_GT(entries.size(), 20u);
  SetMessageLanguage("ja");
  for (const PoEntry& e : entries) {
    if (e.id.empty()) continue;
    SCOPED_TRACE(e.id);
    const std::string want = ::dgettext(kTextDomain, e.id.c_str());
    EXPECT_EQ(want, e.texts.at(0));  // gettext did read the catalog
    EXPECT_EQ(Translate(e.id.c_str()), want);
    const std::string other = e.plural.empty() ? e.id + " (others)" : e.plural;
    for (const std::uint64_t n : kCounts) {
      EXPECT_EQ(TranslatePlural(e.id.c_str(), other.c_str(), n),
                WithCount(::dngettext(kTextDomain, e.id.c_str(), other.c_str(), n), n))
          << n;
    }
  }
}

TEST_F(JapaneseGettext, UnknownIdsGiveTheEnglishText) {
  SetMessageLanguage("ja");
  const char* id = "no such message as {what}";
  EXPECT_EQ(Translate(id), ::dgettext(kTextDomain, id));
  EXPECT_EQ(Translate(id, {{"what", "this"}}), "no such message as this");
  const char* one = "the {count} thing left";
  const char* other = "the {count} things left";
  for (const std::uint64_t n : kCounts) {
    EXPECT_EQ(TranslatePlural(one, other, n), WithCount(::dngettext(kTextDomain, one, other, n), n))
        << n;
  }
  EXPECT_EQ(TranslatePlural(one, other, 1), "the 1 thing left");
  EXPECT_EQ(TranslatePlural(one, other, 0), "the 0 things left");
}

// Opening the catalog takes the language the system says the user reads.
TEST_F(JapaneseGettext, OpeningTakesTheSystemsLanguage) {
  const std::vector<PoEntry> entries = ReadPo(PELMORO_PO_DIR "/ja.po");
  const PoEntry& e = entries.at(1);
  ASSERT_NE(e.texts.at(0), e.id);
  testing::SpecialEnv env;
  const EnvOverride system(env);
  for (const auto& [language, want] :
       {std::pair<const char*, std::string>{"ja", e.texts.at(0)}, {"en", e.id}, {"", e.id}}) {
    env.message_language = language;
    OpenMessageCatalog();
    EXPECT_EQ(Translate(e.id.c_str()), want) << language;
  }
}

TEST_F(JapaneseGettext, EnglishAndUnknownLanguagesGiveEveryIdAsItStands) {
  const std::vector<PoEntry> entries = ReadPo(PELMORO_PO_DIR "/ja.po");
  for (const char* code : {"en", "fr", "ja_JP", ""}) {
    SetMessageLanguage("ja");
    SetMessageLanguage(code);
    for (const PoEntry& e : entries) {
      if (e.id.empty()) continue;
      SCOPED_TRACE(std::string(code) + ": " + e.id);
      EXPECT_EQ(Translate(e.id.c_str()), e.id);
      EXPECT_EQ(TranslatePlural(e.id.c_str(), "others", 1), WithCount(e.id, 1));
      EXPECT_EQ(TranslatePlural(e.id.c_str(), "others", 2), "others");
    }
  }
}

// Test catalogs of each plural rule, read by MoCatalog and by gettext.
struct PluralCatalogCase {
  const char* label;
  const char* po;      // tests/data/catalogs/<po>.po
  const char* domain;  // its compiled catalog
};

void PrintTo(const PluralCatalogCase& c, std::ostream* os) { *os << c.label; }

class PluralCatalogTest : public JapaneseGettext,
                          public ::testing::WithParamInterface<PluralCatalogCase> {};

TEST_P(PluralCatalogTest, EveryFormReadsAsGettextGivesIt) {
  const PluralCatalogCase& c = GetParam();
  Bind(c.domain, PELMORO_TEST_LOCALE_DIR);
  const std::string bytes = TestMo(c.domain);
  const MoCatalog catalog(bytes);
  const std::vector<PoEntry> entries = ReadPo(testing::TestData("catalogs/") + c.po + ".po");
  for (const PoEntry& e : entries) {
    if (e.id.empty()) continue;
    SCOPED_TRACE(e.id);
    EXPECT_EQ(::dgettext(c.domain, e.id.c_str()), e.texts.at(0));
    EXPECT_EQ(catalog.Find(e.id).value_or("none"), e.texts.at(0));
    const std::string other = e.plural.empty() ? e.id + " (others)" : e.plural;
    for (const std::uint64_t n : kCounts) {
      EXPECT_EQ(catalog.FindPlural(e.id, n).value_or("none"),
                ::dngettext(c.domain, e.id.c_str(), other.c_str(), n))
          << n;
    }
  }
  EXPECT_FALSE(catalog.Find("no such message").has_value());
  EXPECT_FALSE(catalog.FindPlural("no such message", 2).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PluralCatalogTest,
    ::testing::Values(PluralCatalogCase{"TwoForms", "plural_two", "pelmoro_test_plural_two"},
                      PluralCatalogCase{"OneForm", "plural_one", "pelmoro_test_plural_one"},
                      PluralCatalogCase{"TwoFormsBigEndian", "plural_two",
                                        "pelmoro_test_plural_two_big"}),
    [](const auto& info) { return std::string(info.param.label); });

// A catalog's bytes with the 32-bit word at `at` replaced (msgfmt writes
// this machine's byte order).
std::string WithWord(std::string bytes, std::size_t at, std::uint32_t word) {
  std::memcpy(bytes.data() + at, &word, sizeof word);
  return bytes;
}

std::string TwoForms() { return TestMo("pelmoro_test_plural_two"); }

struct RefusedCatalogCase {
  const char* label;
  std::string (*bytes)();
  const char* message;
};

void PrintTo(const RefusedCatalogCase& c, std::ostream* os) { *os << c.label; }

class RefusedCatalogTest : public ::testing::TestWithParam<RefusedCatalogCase> {};

TEST_P(RefusedCatalogTest, RaisesSayingWhatIsWrong) {
  const std::string bytes = GetParam().bytes();
  try {
    const MoCatalog catalog(bytes);
    ADD_FAILURE() << "read";
  } catch (const Exception& e) {
    EXPECT_EQ(e.message(), std::string("message catalog: ") + GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Catalogs, RefusedCatalogTest,
    ::testing::Values(
        RefusedCatalogCase{"ThreePluralForms", [] { return TestMo("pelmoro_test_plural_three"); },
                           "plural rule 'nplurals=3; plural=(n==1 ? 0 : n==2 ? 1 : 2);' "
                           "not supported"},
        RefusedCatalogCase{"Latin1Texts", [] { return TestMo("pelmoro_test_latin1"); },
                           "texts not in UTF-8"},
        RefusedCatalogCase{"NotACatalog",
                           [] { return std::string("msgid \"a\"\nmsgstr \"b\"\n but no catalog"); },
                           "not a compiled catalog"},
        RefusedCatalogCase{"ShorterThanItsHeader", [] { return TwoForms().substr(0, 27); },
                           "shorter than its header"},
        RefusedCatalogCase{"CutShort",
                           [] {
                             const std::string b = TwoForms();
                             return b.substr(0, b.size() - 1);
                           },
                           "a string runs past the end"},
        RefusedCatalogCase{"TablePastTheEnd", [] { return WithWord(TwoForms(), 16, 0xFFFFFF00); },
                           "a table runs past the end"},
        RefusedCatalogCase{"CountPastTheEnd", [] { return WithWord(TwoForms(), 8, 1000); },
                           "a table runs past the end"},
        RefusedCatalogCase{"UnknownRevision", [] { return WithWord(TwoForms(), 4, 0x20000); },
                           "revision 2 unknown"},
        RefusedCatalogCase{"IdsOutOfOrder",
                           [] {
                             // The first two ids after the header, swapped.
                             std::string b = TwoForms();
                             std::uint32_t table = 0;
                             std::memcpy(&table, b.data() + 12, sizeof table);
                             std::swap_ranges(b.begin() + table + 8, b.begin() + table + 16,
                                              b.begin() + table + 16);
                             return b;
                           },
                           "message ids out of order"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro::cli
