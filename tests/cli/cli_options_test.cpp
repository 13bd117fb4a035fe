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

}  // namespace
}  // namespace pelmoro::testing
