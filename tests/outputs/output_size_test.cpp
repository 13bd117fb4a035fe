// The outputs of the formats that keep their rows until the end, written
// as a run writes them: a PNG of any size read back through libpng with no
// limit on its size, and the least each format's file and scratch file
// take, known before the rows, against what the outputs then really write.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/text_file.h"
#include "outputs/formats/asc_output.h"
#include "outputs/formats/height_rows.h"
#include "outputs/formats/png_output.h"
#include "outputs/formats/relief_preview.h"
#include "tests/support/map_readers.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

enum class Format { kAsc, kPng, kPreview };

std::unique_ptr<MapOutput> MakeOutput(Format format, TextFile& text, const HeightRows& heights) {
  switch (format) {
    case Format::kAsc:
      return std::make_unique<AscOutput>(text, heights);
    case Format::kPng:
      // One level per grid unit: a pixel is its height above 0.
      return std::make_unique<PngOutput>(text, heights, ImageSettings{PngLevels::kUnits, 16});
    case Format::kPreview:
      break;
  }
  return std::make_unique<PreviewOutput>(text);
}

using HeightAt = std::function<std::int32_t(std::int64_t column, std::int64_t row)>;

// Writes a map of the format to path as a run does: Start on a lattice of
// columns x rows from the origin, every row with its formatters' texts,
// Finish. started sees the output between Start and the first row.
void WriteMap(Format format, const std::string& path, std::int64_t columns, std::int64_t rows,
              const HeightAt& height, const std::function<void(const MapOutput&)>& started = {}) {
  TextFile text;
  CreateTextForWriting(text, path);
  CheckIoResult();
  Lattice lattice;
  lattice.columns = columns;
  lattice.rows = rows;
  // The run's table of heights, filled and sealed as a run does.
  HeightRows table(path);
  table.Start(columns, 0, columns * rows);
  const std::unique_ptr<MapOutput> output = MakeOutput(format, text, table);
  output->Start(lattice, ModelBounds{});
  if (started) started(*output);
  std::vector<std::int32_t> heights(static_cast<std::size_t>(columns));
  for (std::int64_t r = 0; r < rows; ++r) {
    for (std::int64_t k = 0; k < columns; ++k) heights[static_cast<std::size_t>(k)] = height(k, r);
    const RowPiece piece{r, 0, heights, true};
    std::vector<RowText> texts;
    for (const RowFormatter* f : output->formatters()) {
      f->FormatPiece(lattice, piece, texts.emplace_back());
    }
    table.Append(heights);
    output->WritePiece(piece, texts);
  }
  table.Seal();
  output->Finish();
  CloseText(text);
  CheckIoResult();
}

// Heights of up to 49,999 grid units, which differ from column to column
// and from row to row.
std::int32_t VaryingHeight(std::int64_t column, std::int64_t row) {
  return static_cast<std::int32_t>((column * 7 + row * 13) % 50000);
}

struct PngSizeCase {
  const char* label;
  std::int64_t columns, rows;
};

void PrintTo(const PngSizeCase& c, std::ostream* os) { *os << c.label; }

class PngOutputSizeTest : public ::testing::TestWithParam<PngSizeCase> {};

TEST_P(PngOutputSizeTest, EveryPixelIsItsPointsHeight) {
  const PngSizeCase& c = GetParam();
  testing::TempDir dir;
  const std::string path = dir.File("m.png");
  WriteMap(Format::kPng, path, c.columns, c.rows, VaryingHeight);

  const testing::DecodedPng png = testing::DecodePng(path);
  ASSERT_EQ(png.width, c.columns);
  ASSERT_EQ(png.height, c.rows);
  EXPECT_EQ(png.bit_depth, 16);
  // Heights from 0 up within 65,535 units: a pixel is its height.
  std::int64_t wrong = 0;
  for (std::int64_t top = 0; top < c.rows; ++top) {
    for (std::int64_t k = 0; k < c.columns; ++k) {
      const std::uint32_t pixel = png.pixels[static_cast<std::size_t>(top * c.columns + k)];
      if (pixel != static_cast<std::uint32_t>(VaryingHeight(k, c.rows - 1 - top))) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PngOutputSizeTest,
                         ::testing::Values(PngSizeCase{"OnePixel", 1, 1},
                                           PngSizeCase{"SmallGrid", 9, 4},
                                           PngSizeCase{"AMillionWide", 1000000, 1},
                                           // libpng's own limit is a million a side: past it only
                                           // when the encoder lifts that limit before the header.
                                           PngSizeCase{"WiderThanAMillion", 1000001, 2},
                                           PngSizeCase{"TallerThanAMillion", 1, 1000003}),
                         [](const auto& info) { return std::string(info.param.label); });

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
  std::uint64_t least = 0;
  std::optional<SpaceClaim> scratch;
  WriteMap(
      c.format, path, c.columns, c.rows, [&c](std::int64_t, std::int64_t) { return c.height; },
      [&](const MapOutput& output) {
        least = output.LeastFileBytes();
        scratch = output.ScratchClaim();
      });

  const std::uint64_t size = testing::ReadFileBytes(path).size();
  if (c.exact) {
    EXPECT_EQ(least, size);
  } else {
    EXPECT_LT(least, size);
  }
  // The grid and the PNG read the run's height table; none keeps a
  // scratch file of its own.
  EXPECT_FALSE(scratch.has_value());
}

INSTANTIATE_TEST_SUITE_P(Formats, LeastSizeTest,
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
