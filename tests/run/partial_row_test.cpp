// A stop in the middle of a row: every output drops what it took of that
// row and holds exactly what it would have held had the stop come before
// it, whether the row's text is still in the file's buffer or already in
// the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "run/map_outputs.h"
#include "tests/support/map_readers.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

using testing::DecodePng;
using testing::ReadFileBytes;
using testing::TempDir;

struct PartialCase {
  const char* label;
  OutputFormat format;
  std::int64_t columns;
  std::int64_t piece;           // columns a piece
  std::int64_t partial_pieces;  // of the last row, handed on before the stop
};

void PrintTo(const PartialCase& c, std::ostream* os) { *os << c.label; }

// Heights of row `row` at column `column`: the dropped row is the highest,
// so that a preview pixel or a PNG scale it reached would show.
std::int32_t HeightAt(std::int64_t row, std::int64_t column) {
  return static_cast<std::int32_t>(row == 2 ? 5000 + column % 7 : 10 * row + column % 5);
}

// Writes `whole` rows of the case's lattice, then `partial` pieces of the
// next and the stop's drop, and commits; the file's bytes.
std::string WriteStopped(const PartialCase& c, const std::string& path, bool with_partial) {
  Lattice lattice;
  lattice.pitch = 1;
  lattice.columns = c.columns;
  lattice.rows = 3;
  lattice.y_max = 2;
  MapOutputs outputs({{path, c.format}});
  outputs.Start(lattice, ModelBounds{});
  const auto hand_on = [&](std::int64_t row, std::int64_t first) {
    std::vector<std::int32_t> heights;
    for (std::int64_t k = first; k < std::min(c.columns, first + c.piece); ++k) {
      heights.push_back(HeightAt(row, k));
    }
    const RowPiece piece{row, first, heights,
                         first + static_cast<std::int64_t>(heights.size()) == c.columns};
    std::vector<RowText> texts;
    for (const RowFormatter* f : outputs.sink().formatters()) {
      f->FormatPiece(lattice, piece, texts.emplace_back());
    }
    outputs.sink().WritePiece(piece, texts);
  };
  for (std::int64_t row = 0; row < 2; ++row) {
    for (std::int64_t first = 0; first < c.columns; first += c.piece) hand_on(row, first);
  }
  if (with_partial) {
    for (std::int64_t k = 0; k < c.partial_pieces; ++k) hand_on(2, k * c.piece);
    outputs.sink().DropPartialRow();
  }
  outputs.Commit({}, 1);
  return ReadFileBytes(path);
}

class PartialRowTest : public ::testing::TestWithParam<PartialCase> {};

TEST_P(PartialRowTest, DroppedRowLeavesTheOutputAsBeforeIt) {
  TempDir dir;
  const std::string before = WriteStopped(GetParam(), dir.File("before"), false);
  const std::string dropped = WriteStopped(GetParam(), dir.File("dropped"), true);
  ASSERT_FALSE(before.empty());
  const OutputFormat format = GetParam().format;
  if (format == OutputFormat::kPng || format == OutputFormat::kPreview) {
    // Images are compared as a reader sees them: igzip's choice of matches
    // depends on where the process's memory lies, so the same pixels can
    // compress to other, equally valid, bytes from one stream to the next.
    const auto a = DecodePng(dir.File("before"));
    const auto b = DecodePng(dir.File("dropped"));
    EXPECT_EQ(b.width, a.width);
    EXPECT_EQ(b.height, a.height);
    EXPECT_EQ(b.pixels, a.pixels);
    EXPECT_EQ(b.texts, a.texts);
    return;
  }
  EXPECT_EQ(dropped.size(), before.size());
  EXPECT_TRUE(dropped == before);
}

INSTANTIATE_TEST_SUITE_P(Formats, PartialRowTest,
                         ::testing::Values(
                             // The row so far still in the file's buffer.
                             PartialCase{"HzmBuffered", OutputFormat::kHzm, 30, 10, 2},
                             // 3 pieces of 20,000 points, over 300 kB: the file itself is cut.
                             PartialCase{"HzmInTheFile", OutputFormat::kHzm, 70000, 20000, 3},
                             PartialCase{"Png", OutputFormat::kPng, 30, 10, 2},
                             PartialCase{"Asc", OutputFormat::kAsc, 30, 10, 2},
                             PartialCase{"Preview", OutputFormat::kPreview, 30, 10, 2},
                             PartialCase{"PreviewWide", OutputFormat::kPreview, 70000, 20000, 3}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro
