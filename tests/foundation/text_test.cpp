#include "foundation/text.h"

#include <gtest/gtest.h>

#include <string>

namespace pelmoro {
namespace {

using namespace std::string_literals;

std::string Named(const char* name) { return name; }

struct StripCase {
  const char* name;
  std::string text;
  std::string expected;
};

class StripLeadingTest : public ::testing::TestWithParam<StripCase> {};

TEST_P(StripLeadingTest, Strips) { EXPECT_EQ(StripLeading(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Cases, StripLeadingTest,
                         ::testing::Values(StripCase{"Empty", "", ""},
                                           StripCase{"OnlyBlanks", " \t\r  \t\r", ""},
                                           StripCase{"Vertex", "  vertex 1", "vertex 1"},
                                           StripCase{"EveryControlCode", "\x01\x1f\0 x"s, "x"},
                                           StripCase{"KeepsTrailing", "\tfacet \t ", "facet \t "},
                                           StripCase{"StopsAtByte127", "\x7f a", "\x7f a"},
                                           StripCase{"StopsAtHighByte", " \xa0 x", "\xa0 x"},
                                           StripCase{"InnerBlanksKept", " a  b", "a  b"}),
                         [](const auto& info) { return Named(info.param.name); });

class FileNameForMessagesTest : public ::testing::TestWithParam<StripCase> {};

TEST_P(FileNameForMessagesTest, QuotesOnlyNamesWithControlCharacters) {
  EXPECT_EQ(FileNameForMessages(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileNameForMessagesTest,
    ::testing::Values(StripCase{"Plain", "part.stl", "part.stl"},
                      StripCase{"BlanksAndQuotesAsTheyAre", "my part's.stl", "my part's.stl"},
                      StripCase{"HighBytesAsTheyAre", "d\xc3\xa9.stl", "d\xc3\xa9.stl"},
                      StripCase{"LineEnd", "a\nb.stl", "'a\\nb.stl'"},
                      StripCase{"TabAndReturn", "a\tb\r.stl", "'a\\tb\\r.stl'"},
                      StripCase{"Escape", "a\x1b[1m.stl", "'a\\033[1m.stl'"},
                      StripCase{"Delete", "a\x7f.stl", "'a\\177.stl'"},
                      StripCase{"ZeroByte", "a\0b"s, "'a\\000b'"},
                      // Within the quotes a quote or backslash is escaped.
                      StripCase{"QuoteBesideALineEnd", "it's\n", "'it\\'s\\n'"},
                      StripCase{"Backslash", "a\\b\n", "'a\\\\b\\n'"}),
    [](const auto& info) { return Named(info.param.name); });

TEST(FindLastOf, FindsTheLastOccurrence) {
  EXPECT_EQ(FindLastOf('.', "model.v2.stl"), 9);
  EXPECT_EQ(FindLastOf('.', "model"), 0);
  EXPECT_EQ(FindLastOf('.', ""), 0);
  EXPECT_EQ(FindLastOf('m', "model"), 1);
  EXPECT_EQ(FindLastOf('\\', "C:\\dir\\file"), 7);
}

}  // namespace
}  // namespace pelmoro
