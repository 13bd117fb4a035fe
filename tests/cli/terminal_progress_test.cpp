// The progress line cut to the terminal's width, a translated phase too.
#include "cli/terminal_progress.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace pelmoro::cli {
namespace {

struct CutCase {
  const char* label;
  const char* phase;
  int width;
};

void PrintTo(const CutCase& c, std::ostream* os) { *os << c.label; }

// Whether text is whole UTF-8 characters (no sequence cut short).
bool IsWholeUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead >= 0x80 && lead < 0xC0) return false;  // a continuation byte first
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

class ProgressLineCutTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(ProgressLineCutTest, FitsTheWidthInWholeCharacters) {
  ProgressLine line;
  line.phase = GetParam().phase;
  line.unit = "行";
  line.percent = 42;
  line.done = 420;
  line.total = 1000;
  const std::string full = FormatProgressLine(line, 0);
  const std::string cut = FormatProgressLine(line, GetParam().width);
  EXPECT_LE(cut.size(), static_cast<std::size_t>(GetParam().width - 1));
  EXPECT_TRUE(IsWholeUtf8(cut)) << cut;
  EXPECT_EQ(full.rfind(cut, 0), 0u) << cut;  // a beginning of the whole line
  // At most one character short of the width: the cut backs off no further.
  EXPECT_GT(cut.size() + 4, static_cast<std::size_t>(GetParam().width - 1));
}

// "[" 20 bar columns "]", then "  42%  " take 29 bytes; the phase follows
// (走査中: bytes 29 to 37), then "  420/1000 " and the unit (行: 49 to 51).
INSTANTIATE_TEST_SUITE_P(Cuts, ProgressLineCutTest,
                         ::testing::Values(CutCase{"EnglishPhase", "scanning", 33},
                                           CutCase{"BeforeAJapanesePhase", "走査中", 30},
                                           CutCase{"IntoItsFirstCharacter", "走査中", 31},
                                           CutCase{"IntoItsLastByte", "走査中", 32},
                                           CutCase{"AfterItsFirstCharacter", "走査中", 33},
                                           CutCase{"IntoTheUnit", "走査中", 51}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro::cli
