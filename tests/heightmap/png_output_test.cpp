// The 16-bit PNG as PngOutput writes it, read back through libpng with no
// limit on its size: every pixel where its height says, whatever the width.
#include "heightmap/png_output.h"

#include <png.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/text_file.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

struct WidePng {
  std::uint32_t width = 0, height = 0;
  int bit_depth = 0;
  std::vector<std::uint16_t> pixels;  // row after row from the top
};

// As testing::DecodePng, but with libpng's limit of 1,000,000 pixels a side
// lifted, as a reader of these maps must.
WidePng DecodeWidePng(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) throw std::runtime_error("cannot open " + path);
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  WidePng out;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    throw std::runtime_error("libpng refused " + path);
  }
  png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
  png_init_io(png, file.get());
  png_read_info(png, info);
  out.width = png_get_image_width(png, info);
  out.height = png_get_image_height(png, info);
  out.bit_depth = png_get_bit_depth(png, info);
  std::vector<png_byte> row(png_get_rowbytes(png, info));
  for (std::uint32_t r = 0; r < out.height; ++r) {
    png_read_row(png, row.data(), nullptr);
    for (std::uint32_t c = 0; c < out.width; ++c) {
      out.pixels.push_back(static_cast<std::uint16_t>(row[2 * c] << 8 | row[2 * c + 1]));
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return out;
}

// Heights of up to 49,999 grid units, which differ from column to column
// and from row to row.
std::int32_t HeightAt(std::int64_t column, std::int64_t row) {
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
  TextFile text;
  CreateTextForWriting(text, path);
  CheckIoResult();
  Lattice lattice;
  lattice.columns = c.columns;
  lattice.rows = c.rows;
  PngOutput output(text, path);
  output.Start(lattice, ModelBounds{});
  std::vector<std::int32_t> heights(static_cast<std::size_t>(c.columns));
  for (std::int64_t r = 0; r < c.rows; ++r) {
    for (std::int64_t k = 0; k < c.columns; ++k) {
      heights[static_cast<std::size_t>(k)] = HeightAt(k, r);
    }
    output.WritePiece({r, 0, heights, true}, {});
  }
  output.Finish();
  CloseText(text);
  CheckIoResult();

  const WidePng png = DecodeWidePng(path);
  ASSERT_EQ(png.width, c.columns);
  ASSERT_EQ(png.height, c.rows);
  EXPECT_EQ(png.bit_depth, 16);
  // Heights from 0 up within 65,535 units: a pixel is its height.
  std::int64_t wrong = 0;
  for (std::int64_t top = 0; top < c.rows; ++top) {
    for (std::int64_t k = 0; k < c.columns; ++k) {
      const std::uint16_t pixel = png.pixels[static_cast<std::size_t>(top * c.columns + k)];
      if (pixel != HeightAt(k, c.rows - 1 - top)) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PngOutputSizeTest,
    ::testing::Values(PngSizeCase{"OnePixel", 1, 1}, PngSizeCase{"SmallGrid", 9, 4},
                      PngSizeCase{"AMillionWide", 1000000, 1},
                      // libpng's own limit is a million a side: past it only
                      // when the encoder lifts that limit before the header.
                      PngSizeCase{"WiderThanAMillion", 1000001, 2},
                      PngSizeCase{"TallerThanAMillion", 1, 1000003}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro
