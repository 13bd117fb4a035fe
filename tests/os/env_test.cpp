#include "os/env.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

// What a name denotes, links followed, and which names are one file.
struct StatCase {
  std::string name;
  // Makes what the case looks at in the folder; gives the name to look at
  // and, for the identity, a second name.
  std::string (*make)(const testing::TempDir& dir, std::string* other);
  bool found;
  FileKind kind;
  std::uint64_t size;
  bool same_as_other;
};

void PrintTo(const StatCase& c, std::ostream* os) { *os << c.name; }

class StatPathTest : public ::testing::TestWithParam<StatCase> {};

TEST_P(StatPathTest, TellsKindSizeAndIdentity) {
  const StatCase& c = GetParam();
  testing::TempDir dir;
  std::string other;
  const std::string name = c.make(dir, &other);
  FileStatus status;
  ASSERT_EQ(Env::Default().StatPath(name, &status), c.found) << name;
  if (!c.found) return;
  EXPECT_EQ(status.kind, c.kind);
  EXPECT_EQ(status.size, c.size);
  if (other.empty()) return;
  FileStatus second;
  ASSERT_TRUE(Env::Default().StatPath(other, &second)) << other;
  EXPECT_EQ(SameFile(status, second), c.same_as_other);
}

INSTANTIATE_TEST_SUITE_P(
    Names, StatPathTest,
    ::testing::Values(
        StatCase{"RegularFile",
                 [](const testing::TempDir& d, std::string*) { return d.Write("a.stl", "12345"); },
                 true, FileKind::kRegular, 5, false},
        StatCase{"Folder",
                 [](const testing::TempDir& d, std::string*) { return d.path().string(); }, true,
                 FileKind::kFolder, 0, false},
        StatCase{"Device",
                 [](const testing::TempDir&, std::string*) { return std::string("/dev/null"); },
                 true, FileKind::kDevice, 0, false},
        StatCase{"Fifo",
                 [](const testing::TempDir& d, std::string*) {
                   const std::string fifo = d.File("p");
                   return ::mkfifo(fifo.c_str(), 0600) == 0 ? fifo : std::string();
                 },
                 true, FileKind::kPipe, 0, false},
        StatCase{"Missing", [](const testing::TempDir& d, std::string*) { return d.File("none"); },
                 false, FileKind::kRegular, 0, false},
        StatCase{"NameThroughALink",
                 [](const testing::TempDir& d, std::string* other) {
                   *other = d.Write("a.stl", "123");
                   const std::string link = d.File("link.stl");
                   return ::symlink(other->c_str(), link.c_str()) == 0 ? link : std::string();
                 },
                 true, FileKind::kRegular, 3, true},
        StatCase{"HardLink",
                 [](const testing::TempDir& d, std::string* other) {
                   *other = d.Write("a.stl", "1234");
                   const std::string link = d.File("b.stl");
                   return ::link(other->c_str(), link.c_str()) == 0 ? link : std::string();
                 },
                 true, FileKind::kRegular, 4, true},
        StatCase{"TwoFilesAlike",
                 [](const testing::TempDir& d, std::string* other) {
                   *other = d.Write("a.stl", "12");
                   return d.Write("b.stl", "12");
                 },
                 true, FileKind::kRegular, 2, false}),
    [](const auto& info) { return info.param.name; });

// The language of messages, from the locale variables as setlocale reads
// them: LC_ALL over LC_MESSAGES over LANG, empty ones skipped.
struct LanguageCase {
  std::string name;
  const char* lc_all;
  const char* lc_messages;
  const char* lang;
  std::string language;
};

void PrintTo(const LanguageCase& c, std::ostream* os) { *os << c.name; }

class MessageLanguageTest : public ::testing::TestWithParam<LanguageCase> {};

void SetOrUnset(const char* variable, const char* value) {
  if (value == nullptr) {
    ::unsetenv(variable);
  } else {
    ::setenv(variable, value, 1);
  }
}

TEST_P(MessageLanguageTest, FollowsTheLocaleVariables) {
  const LanguageCase& c = GetParam();
  std::vector<std::pair<const char*, std::optional<std::string>>> saved;
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    saved.emplace_back(variable, value ? std::optional<std::string>(value) : std::nullopt);
  }
  SetOrUnset("LC_ALL", c.lc_all);
  SetOrUnset("LC_MESSAGES", c.lc_messages);
  SetOrUnset("LANG", c.lang);
  const std::string language = Env::Default().MessageLanguage();
  for (const auto& [variable, value] : saved)
    SetOrUnset(variable, value ? value->c_str() : nullptr);
  EXPECT_EQ(language, c.language);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, MessageLanguageTest,
    ::testing::Values(LanguageCase{"LangAlone", nullptr, nullptr, "ja_JP.UTF-8", "ja"},
                      LanguageCase{"MessagesOverLang", nullptr, "ja_JP.UTF-8", "en_GB.UTF-8", "ja"},
                      LanguageCase{"AllOverMessages", "de_DE@euro", "ja_JP.UTF-8", nullptr, "de"},
                      LanguageCase{"EmptyAllSkipped", "", nullptr, "ja_JP.eucJP", "ja"},
                      LanguageCase{"CLocale", "C", nullptr, "ja_JP.UTF-8", ""},
                      LanguageCase{"CUtf8Locale", nullptr, nullptr, "C.UTF-8", ""},
                      LanguageCase{"Posix", nullptr, "POSIX", nullptr, ""},
                      LanguageCase{"NoneSet", nullptr, nullptr, nullptr, ""}),
    [](const auto& info) { return info.param.name; });

TEST(ExecutablePath, NamesThisProgram) {
  const std::string path = Env::Default().ExecutablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.substr(path.rfind('/') + 1), "os_tests");
}

}  // namespace
}  // namespace pelmoro
