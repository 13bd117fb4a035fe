// The program's own words as the user reads them, the same in the window
// and on the command line.
#include "run/messages.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace pelmoro {
namespace {

struct BoxTextCase {
  const char* label;
  std::string message;
  std::string shown;
};

void PrintTo(const BoxTextCase& c, std::ostream* os) { *os << c.label; }

class ErrorBoxTextTest : public ::testing::TestWithParam<BoxTextCase> {};

TEST_P(ErrorBoxTextTest, EndsWithADotAfterWhatSortsAfterIt) {
  EXPECT_EQ(ErrorBoxText(GetParam().message), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ErrorBoxTextTest,
    ::testing::Values(BoxTextCase{"EndsInALetter", "Disk full", "Disk full."},
                      BoxTextCase{"EndsInADigit", "Code 5", "Code 5."},
                      // Every byte of a multi-byte UTF-8 character is 0x80 or more.
                      BoxTextCase{"EndsInAJapaneseCharacter", "ファイルが見つかりません",
                                  "ファイルが見つかりません."},
                      BoxTextCase{"EndsInADot", "Done.", "Done."},
                      BoxTextCase{"EndsInAParenthesis", "I/O エラー (1234)", "I/O エラー (1234)"},
                      BoxTextCase{"EndsInAnExclamationMark", "Stop!", "Stop!"},
                      BoxTextCase{"EndsInASpace", "odd ", "odd "},
                      BoxTextCase{"EndsInASlashAboveTheDot", "a/", "a/."},
                      BoxTextCase{"EndsInACommaBelowTheDot", "a,", "a,"},
                      BoxTextCase{"EndsInAHyphenBelowTheDot", "a-", "a-"},
                      BoxTextCase{"EndsInAQuote", "'x'", "'x'"},
                      BoxTextCase{"LineBreaksKept", "Error!\r\nPitch larger than 0.025",
                                  "Error!\r\nPitch larger than 0.025."},
                      BoxTextCase{"AZeroByteInside", std::string("a\0b", 3),
                                  std::string("a\0b.", 4)},
                      BoxTextCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro
