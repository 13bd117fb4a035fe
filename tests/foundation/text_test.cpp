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

INSTANTIATE_TEST_SUITE_P(
    Cases, StripLeadingTest,
    ::testing::Values(StripCase{"Empty", "", ""},
                      StripCase{"OnlyBlanks", " \t\r  \t\r", ""},
                      StripCase{"Vertex", "  vertex 1", "vertex 1"},
                      StripCase{"EveryControlCode", "\x01\x1f\0 x"s, "x"},
                      StripCase{"KeepsTrailing", "\tfacet \t ", "facet \t "},
                      StripCase{"StopsAtByte127", "\x7f a", "\x7f a"},
                      StripCase{"StopsAtHighByte", " \xa0 x", "\xa0 x"},
                      StripCase{"InnerBlanksKept", " a  b", "a  b"}),
    [](const auto& info) { return Named(info.param.name); });

struct CopyCase {
  const char* name;
  std::string text;
  int start;
  int count;
  std::string expected;
};

class CopyCharsTest : public ::testing::TestWithParam<CopyCase> {};

TEST_P(CopyCharsTest, Copies) {
  const CopyCase& c = GetParam();
  EXPECT_EQ(CopyChars(c.text, c.start, c.count), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CopyCharsTest,
    ::testing::Values(CopyCase{"StartZeroCountsAsOne", "vert", 0, 6, "vert"},
                      CopyCase{"FirstSix", "vertex 1 2 3", 1, 6, "vertex"},
                      CopyCase{"StartZeroFirstSix", "vertex 1 2 3", 0, 6, "vertex"},
                      CopyCase{"NegativeStart", "abc", -5, 2, "ab"},
                      CopyCase{"StartPastEnd", "abc", 4, 1, ""},
                      CopyCase{"LastChar", "abc", 3, 1, "c"},
                      CopyCase{"CountPastEnd", "abc", 2, 100, "bc"},
                      CopyCase{"CountZero", "abc", 1, 0, ""},
                      CopyCase{"CountNegative", "abc", 1, -1, ""},
                      CopyCase{"EmptyText", "", 1, 1, ""},
                      CopyCase{"HugeCount", "abc", 1, 2147483647, "abc"},
                      CopyCase{"KeepsZeroBytes", "a\0b"s, 2, 2, "\0b"s}),
    [](const auto& info) { return Named(info.param.name); });

class DeleteCharsTest : public ::testing::TestWithParam<CopyCase> {};

TEST_P(DeleteCharsTest, DeletesInPlace) {
  const CopyCase& c = GetParam();
  std::string text = c.text;
  DeleteChars(text, c.start, c.count);
  EXPECT_EQ(text, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeleteCharsTest,
    ::testing::Values(CopyCase{"StartZeroLeavesText", "abcdef", 0, 3, "abcdef"},
                      CopyCase{"NegativeStartLeavesText", "abcdef", -1, 3, "abcdef"},
                      CopyCase{"Middle", "abcdef", 2, 3, "aef"},
                      CopyCase{"First", "abcdef", 1, 1, "bcdef"},
                      CopyCase{"Last", "abcdef", 6, 1, "abcde"},
                      CopyCase{"StartPastEnd", "abcdef", 7, 1, "abcdef"},
                      CopyCase{"CountPastEnd", "abcdef", 4, 99, "abc"},
                      CopyCase{"CountZero", "abcdef", 2, 0, "abcdef"},
                      CopyCase{"CountNegative", "abcdef", 2, -2, "abcdef"},
                      CopyCase{"Empty", "", 1, 1, ""}),
    [](const auto& info) { return Named(info.param.name); });

struct PositionCase {
  const char* name;
  std::string pattern;
  std::string text;
  int expected;
};

class PositionOfTest : public ::testing::TestWithParam<PositionCase> {};

TEST_P(PositionOfTest, FindsFirst) {
  EXPECT_EQ(PositionOf(GetParam().pattern, GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PositionOfTest,
    ::testing::Values(PositionCase{"AtStart", "vertex", "vertex 1 2 3", 1},
                      PositionCase{"Inside", "ex", "vertex vertex", 5},
                      PositionCase{"Missing", "facet", "vertex", 0},
                      PositionCase{"CaseCounts", "VERTEX", "vertex", 0},
                      PositionCase{"EmptyPattern", "", "vertex", 0},
                      PositionCase{"EmptyText", "v", "", 0},
                      PositionCase{"LongerThanText", "vertexes", "vertex", 0},
                      PositionCase{"AtEnd", "3", "vertex 1 2 3", 12},
                      PositionCase{"AfterZeroByte", "b", "a\0b"s, 3}),
    [](const auto& info) { return Named(info.param.name); });

TEST(FindLastOf, FindsTheLastOccurrence) {
  EXPECT_EQ(FindLastOf('.', "model.v2.stl"), 9);
  EXPECT_EQ(FindLastOf('.', "model"), 0);
  EXPECT_EQ(FindLastOf('.', ""), 0);
  EXPECT_EQ(FindLastOf('m', "model"), 1);
  EXPECT_EQ(FindLastOf('\\', "C:\\dir\\file"), 7);
}

struct EqualsCase {
  const char* name;
  std::string a;
  std::string b;
  bool expected;
};

class EqualsIgnoringCaseTest : public ::testing::TestWithParam<EqualsCase> {};

TEST_P(EqualsIgnoringCaseTest, Compares) {
  EXPECT_EQ(EqualsIgnoringCase(GetParam().a, GetParam().b), GetParam().expected);
  EXPECT_EQ(EqualsIgnoringCase(GetParam().b, GetParam().a), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EqualsIgnoringCaseTest,
    ::testing::Values(EqualsCase{"MixedCase", "VeRtEx", "vertex", true},
                      EqualsCase{"TrailingSpace", "vertex ", "vertex", false},
                      EqualsCase{"Empty", "", "", true},
                      EqualsCase{"DifferentLetter", "vertex", "vertey", false},
                      EqualsCase{"AllLetters", "abcdefghijklmnopqrstuvwxyz",
                                 "ABCDEFGHIJKLMNOPQRSTUVWXYZ", true},
                      // Neighbours of the letter ranges must not fold.
                      EqualsCase{"AtAndBacktick", "@", "`", false},
                      EqualsCase{"BracketAndBrace", "[", "{", false},
                      EqualsCase{"AccentedNotFolded", "\xe9", "\xc9", false},
                      EqualsCase{"HighBytesExact", "\x82\xa0", "\x82\xa0", true},
                      EqualsCase{"ZeroBytes", "a\0b"s, "A\0B"s, true}),
    [](const auto& info) { return Named(info.param.name); });

}  // namespace
}  // namespace pelmoro
