// The least each format's file and scratch file take, known before the
// rows, against what the outputs then really write.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "foundation/text_file.h"
#include "heightmap/asc_output.h"
#include "heightmap/height_rows.h"
#include "heightmap/png_output.h"
#include "heightmap/relief_preview.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

enum class Format { kAsc, kPng, kPreview };

std::unique_ptr<MapOutput> MakeOutput(Format format, TextFile& text, const std::string& path) {
  switch (format) {
    case Format::kAsc: return std::make_unique<AscOutput>(text, path);
    case Format::kPng: return std::make_unique<PngOutput>(text, path);
    case Format::kPreview: break;
  }
  return std::make_unique<PreviewOutput>(text);
}

struct LeastSizeCase {
  const char* label;
  Format format;
  std::int64_t columns, rows;
  std::int32_t height;  // of every point
  bool exact;           // the file is as small as the bound says
};

void PrintTo(const LeastSizeCase& c, std::ostream* os) { *os << c.label; }

class LeastSizeTest : public ::testing::TestWithParam<LeastSizeCase> {};

TEST_P(LeastSizeTest, NoFileIsSmallerThanItsBound) {
  const LeastSizeCase& c = GetParam();
  testing::TempDir dir;
  const std::string path = dir.File("m.out");
  TextFile text;
  CreateTextForWriting(text, path);
  CheckIoResult();
  Lattice lattice;
  lattice.columns = c.columns;
  lattice.rows = c.rows;
  const std::unique_ptr<MapOutput> output = MakeOutput(c.format, text, path);
  output->Start(lattice, ModelBounds{});
  const std::uint64_t least = output->LeastFileBytes();
  const std::optional<SpaceClaim> scratch = output->ScratchClaim();
  const std::vector<std::int32_t> heights(static_cast<std::size_t>(c.columns), c.height);
  for (std::int64_t r = 0; r < c.rows; ++r) {
    const RowPiece piece{r, 0, heights, true};
    std::vector<std::string> texts;
    for (const RowFormatter* f : output->formatters()) {
      f->FormatPiece(lattice, piece, texts.emplace_back());
    }
    output->WritePiece(piece, texts);
  }
  output->Finish();
  CloseText(text);
  CheckIoResult();

  const std::uint64_t size = testing::ReadFileBytes(path).size();
  if (c.exact) {
    EXPECT_EQ(least, size);
  } else {
    EXPECT_LT(least, size);
  }
  // The grid's text waits in a scratch file on the output's disk; the
  // PNGs' heights stay in memory here.
  ASSERT_EQ(scratch.has_value(), c.format == Format::kAsc);
  if (scratch) {
    struct stat folder {};
    ASSERT_EQ(::stat(dir.path().c_str(), &folder), 0);
    EXPECT_EQ(scratch->device, folder.st_dev);
    EXPECT_EQ(scratch->target, path);
    const std::uint64_t rows_text = size - AscHeader(lattice, c.rows).size();
    if (c.exact) {
      EXPECT_EQ(scratch->bytes, rows_text);
    } else {
      EXPECT_LT(scratch->bytes, rows_text);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, LeastSizeTest,
    ::testing::Values(
        // "0" is the shortest value: the grid's bound is its size.
        LeastSizeCase{"GridOfZeros", Format::kAsc, 7, 3, 0, true},
        LeastSizeCase{"GridOfWholeMillimetres", Format::kAsc, 1, 4, 360, true},
        LeastSizeCase{"GridOfLongerValues", Format::kAsc, 7, 3, 1, false},
        LeastSizeCase{"LevelPng", Format::kPng, 300, 200, 5, false},
        LeastSizeCase{"OnePixelPng", Format::kPng, 1, 1, 0, false},
        LeastSizeCase{"LevelPreview", Format::kPreview, 3000, 5, 5, false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(HeightRowsTest, ClaimsAScratchFileOnlyWhenItKeepsOne) {
  testing::TempDir dir;
  HeightRows small(dir.File("m.png"));
  small.Start(3, 0, 6);
  EXPECT_FALSE(small.ScratchClaim().has_value());
  // More heights than an address space holds: they go to the disk from the
  // start, at 4 bytes each.
  HeightRows huge(dir.File("m.png"));
  const std::int64_t points = std::int64_t{1} << 61;
  huge.Start(1 << 20, 0, points);
  const std::optional<SpaceClaim> claim = huge.ScratchClaim();
  ASSERT_TRUE(claim.has_value());
  EXPECT_EQ(claim->bytes, 4 * static_cast<std::uint64_t>(points));
  EXPECT_EQ(claim->target, dir.File("m.png"));
}

}  // namespace
}  // namespace pelmoro
