// The ways GNU programs let options be written, each giving the map that
// the plain spelling gives.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/cli/child_process.h"
#include "tests/support/test_support.h"

namespace pelmoro::testing {
namespace {

struct SpellingCase {
  const char* label;
  // "@" stands for the worked example, "OUT" for output; they run in a
  // fresh folder, and every row asks for pitch 1 and quiet.
  std::vector<std::string> args;
  std::vector<std::string> env = {};
  const char* output = "w.hzm";
};

// Test names and failure output show the case by its label.
void PrintTo(const SpellingCase& c, std::ostream* os) { *os << c.label; }

class CliSpellingTest : public ::testing::TestWithParam<SpellingCase> {};

TEST_P(CliSpellingTest, GivesTheMapOfThePlainSpelling) {
  TempDir dir;
  std::vector<std::string> args = GetParam().args;
  for (std::string& a : args) {
    if (a == "@") a = TestData("worked_example.stl");
    if (a.find("OUT") != std::string::npos) a.replace(a.find("OUT"), 3, GetParam().output);
  }
  const Outcome r = RunStl2hzm({args, dir.path().string(), GetParam().env});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadFileBytes(dir.File(GetParam().output)),
            ReadFileBytes(TestData("worked_example.hzm")));
  EXPECT_EQ(ListFolder(dir.path()), std::vector<std::string>{GetParam().output});
}

INSTANTIATE_TEST_SUITE_P(
    Spelling, CliSpellingTest,
    ::testing::Values(
        SpellingCase{"Plain", {"--pitch", "1", "-q", "-o", "OUT", "@"}},
        SpellingCase{"ShortOptionsBundled", {"--pitch", "1", "-qo", "OUT", "@"}},
        SpellingCase{"BundleWithItsValue", {"--pitch", "1", "-qoOUT", "@"}},
        SpellingCase{"ValueAttachedToShortOption", {"--pitch", "1", "-q", "-oOUT", "@"}},
        SpellingCase{"LongValueAfterEquals", {"--pitch=1", "--quiet", "--output=OUT", "@"}},
        SpellingCase{"AbbreviatedLongOptions", {"--pit", "1", "--qu", "--out", "OUT", "@"}},
        SpellingCase{"AbbreviationWithEquals", {"--pi=1", "--q", "--o=OUT", "@"}},
        SpellingCase{"OptionsAfterTheInput", {"@", "--pitch", "1", "-qo", "OUT"}},
        // GNU getopt stops at the first operand under POSIXLY_CORRECT; the
        // inputs and options of stl2hzm may still come in any order.
        SpellingCase{"OptionsAfterTheInputPosixly",
                     {"@", "--pitch", "1", "-qo", "OUT"},
                     {"POSIXLY_CORRECT=1"}},
        SpellingCase{"InputAfterDoubleDash", {"--pitch", "1", "-qo", "OUT", "--", "@"}},
        // A value may itself begin with "-".
        SpellingCase{
            "ValueThatLooksLikeAnOption", {"--pitch", "1", "-qo", "OUT", "@"}, {}, "-w.hzm"}),
    [](const auto& info) { return std::string(info.param.label); });

// Under a Japanese locale the command line speaks Japanese only: its
// usage errors in the words of GNU getopt's Japanese catalog, its summary.
struct JapaneseCase {
  const char* label;
  std::vector<std::string> args;  // "@" stands for the worked example, run in a fresh folder
  int exit_code;
  std::string err;
};

void PrintTo(const JapaneseCase& c, std::ostream* os) { *os << c.label; }

class CliJapaneseTest : public ::testing::TestWithParam<JapaneseCase> {};

constexpr char kTryHelp[] = "詳しくは 'stl2hzm --help' を実行してください.\n";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The seconds a summary gives, "(12.34 ", shown as "(T ". (Without
// std::regex, which GCC 12 warns about at -O1 under the sanitizers.)
std::string SecondsAsT(std::string text) {
  for (std::size_t at = text.find('('); at != std::string::npos; at = text.find('(', at + 1)) {
    std::size_t end = at + 1;
    while (end < text.size() && IsDigit(text[end])) ++end;
    if (end == at + 1 || end + 3 >= text.size() || text[end] != '.' || !IsDigit(text[end + 1]) ||
        !IsDigit(text[end + 2]) || text[end + 3] != ' ') {
      continue;
    }
    text.replace(at + 1, end + 3 - (at + 1), "T");
  }
  return text;
}

TEST_P(CliJapaneseTest, SpeaksJapaneseOnly) {
  if (!HasLocale("ja_JP.UTF-8")) GTEST_SKIP() << "no ja_JP.UTF-8 locale here";
  TempDir dir;
  dir.Write("w.stl", ReadFileBytes(TestData("worked_example.stl")));
  std::vector<std::string> args = GetParam().args;
  for (std::string& a : args) a = a == "@" ? "w.stl" : a;
  const Outcome r =
      RunStl2hzm({args, dir.path().string(), {"LC_ALL=", "LANGUAGE=", "LANG=ja_JP.UTF-8"}});
  EXPECT_EQ(r.exit_code, GetParam().exit_code);
  EXPECT_EQ(SecondsAsT(r.err), GetParam().err);
}

INSTANTIATE_TEST_SUITE_P(
    Japanese, CliJapaneseTest,
    ::testing::Values(
        JapaneseCase{"RefusedPitch",
                     {"--pitch", "abc", "@"},
                     2,
                     std::string("stl2hzm: --pitch: 'abc' は 0.025 から 6.375 までのミリメートルの"
                                 "数ではありません\n") +
                         kTryHelp},
        JapaneseCase{"AmbiguousAbbreviation",
                     {"--p", "1", "@"},
                     2,
                     std::string("stl2hzm: オプション '--p' は曖昧です; 候補: '--pitch' "
                                 "'--preview' '--png-levels'\n") +
                         kTryHelp},
        JapaneseCase{"UnknownOption",
                     {"--fast", "@"},
                     2,
                     std::string("stl2hzm: 認識できないオプション '--fast' です\n") + kTryHelp},
        JapaneseCase{"MissingValue",
                     {"@", "-o"},
                     2,
                     std::string("stl2hzm: オプションには引数が必要です -- 'o'\n") + kTryHelp},
        JapaneseCase{"NoInput",
                     {"-q"},
                     2,
                     std::string("stl2hzm: 入力ファイルが指定されていません\n") + kTryHelp},
        JapaneseCase{"SummaryToStandardOutput",
                     {"--pitch", "1", "-o", "-", "@"},
                     0,
                     // Towards a stream the run first gives the map's size.
                     "w.stl: 3 x 3 点, ピッチ 1 mm; 高さマップは 113 ～ 122 バイト -> 標準出力\n"
                     "w.stl: 三角形 1 個, 3 x 3 点 -> 標準出力 (T 秒)\n"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro::testing
