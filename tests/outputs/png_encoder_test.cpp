// Images through the PNG encoders and back through libpng's reader: the
// encoder of this build, and the zlib one held against the libpng one.
#include "outputs/formats/png_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "foundation/errors.h"
#include "foundation/text_file.h"
#include "outputs/formats/png_encoder_zlib.h"
#include "outputs/formats/png_size.h"
#include "tests/support/map_readers.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

// Several compression batches and data chunks (noise hardly compresses), a
// row wider than a batch, rows wider than a deflate block, a single
// column, both depths.
struct PngImageCase {
  const char* label;
  std::uint32_t width, height;
  int bit_depth;
  bool noise;  // else a smooth ramp
};

void PrintTo(const PngImageCase& c, std::ostream* os) { *os << c.label; }

std::vector<std::uint32_t> PixelsOf(const PngImageCase& c) {
  const std::uint32_t top = c.bit_depth == 16 ? 65535 : 255;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(c.width) * c.height);
  std::uint64_t state = 12345;
  for (std::size_t k = 0; k < pixels.size(); ++k) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    pixels[k] = c.noise ? static_cast<std::uint32_t>(state >> 40) % (top + 1)
                        : static_cast<std::uint32_t>((k % c.width + k / c.width) % (top + 1));
  }
  return pixels;
}

// Writes the pixels through an Encoder (PngEncoder or ZlibPngEncoder) into
// path, row after row from the top.
template <class Encoder>
void EncodeImage(const std::string& path, const PngImageCase& c,
                 const std::vector<std::uint32_t>& pixels, const std::vector<PngText>& texts) {
  const int bytes = c.bit_depth / 8;
  TextFile out;
  CreateTextForWriting(out, path);
  Encoder png(out, c.width, c.height, c.bit_depth, texts);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(c.width) * bytes);
  for (std::uint32_t r = 0; r < c.height; ++r) {
    for (std::uint32_t k = 0; k < c.width; ++k) {
      const std::uint32_t p = pixels[static_cast<std::size_t>(r) * c.width + k];
      if (bytes == 2) {
        row[2 * k] = static_cast<std::uint8_t>(p >> 8);
        row[2 * k + 1] = static_cast<std::uint8_t>(p & 0xFF);
      } else {
        row[k] = static_cast<std::uint8_t>(p);
      }
    }
    png.WriteRow(row);
  }
  png.Finish();
  CloseText(out);
}

class PngEncoderTest : public ::testing::TestWithParam<PngImageCase> {};

TEST_P(PngEncoderTest, DecodesToThePixelsWritten) {
  const PngImageCase& c = GetParam();
  const std::vector<std::uint32_t> pixels = PixelsOf(c);
  testing::TempDir dir;
  const std::string path = dir.File("image.png");
  EncodeImage<PngEncoder>(path, c, pixels, {{"pitch_mm", "0.1"}});
  const testing::DecodedPng decoded = testing::DecodePng(path);
  EXPECT_EQ(decoded.width, c.width);
  EXPECT_EQ(decoded.height, c.height);
  EXPECT_EQ(decoded.bit_depth, c.bit_depth);
  EXPECT_EQ(decoded.texts.at("pitch_mm"), "0.1");
  EXPECT_TRUE(decoded.pixels == pixels);
}

void SkipWithoutLibpngEncoder() {
  if (PELMORO_PNG_ZLIB) GTEST_SKIP() << "this build's PngEncoder is the zlib one";
}

// Values in UTF-8 and in latin-1 bytes, as the writers pass them on
// unread; keywords with latin-1 letters, and ones libpng cleans (spaces at
// the ends and in runs, control bytes, more than 79 bytes, a 0 byte).
const std::vector<PngText>& VariedTexts() {
  static const std::vector<PngText> texts{
      {"pitch_mm", "0.025"},
      {"Software", "stl2hzm"},
      {"Title", "\xE9\xAB\x98\xE3\x81\x95 (UTF-8)"},
      {"Comment", "\xB5m, \xE9t\xE9 (latin-1)"},
      {"H\xF6he", "-12.5"},
      {"Empty", ""},
      {"  two   spaces\t\x01here  ", "x"},
      {std::string(90, 'k'), "long"},
      {std::string("cut\0off", 7), std::string("val\0ue", 6)},
  };
  return texts;
}

TEST_P(PngEncoderTest, ZlibEncoderDecodesAsTheLibpngOne) {
  SkipWithoutLibpngEncoder();
  const PngImageCase& c = GetParam();
  const std::vector<std::uint32_t> pixels = PixelsOf(c);
  testing::TempDir dir;
  EncodeImage<PngEncoder>(dir.File("libpng.png"), c, pixels, VariedTexts());
  EncodeImage<ZlibPngEncoder>(dir.File("zlib.png"), c, pixels, VariedTexts());
  const testing::DecodedPng want = testing::DecodePng(dir.File("libpng.png"));
  const testing::DecodedPng got = testing::DecodePng(dir.File("zlib.png"));
  EXPECT_EQ(got.width, want.width);
  EXPECT_EQ(got.height, want.height);
  EXPECT_EQ(got.bit_depth, want.bit_depth);
  EXPECT_EQ(got.color_type, want.color_type);
  EXPECT_EQ(got.texts, want.texts);
  EXPECT_EQ(got.texts.size(), VariedTexts().size());
  EXPECT_TRUE(got.pixels == want.pixels);
  EXPECT_TRUE(got.pixels == pixels);
}

TEST_P(PngEncoderTest, BothEncodersWriteAtLeastTheLowerBound) {
  SkipWithoutLibpngEncoder();
  const PngImageCase& c = GetParam();
  const std::vector<std::uint32_t> pixels = PixelsOf(c);
  // One-byte values: the bound's text chunks are then exact.
  const std::vector<PngText> texts{{"a", "1"}, {"Software", "s"}};
  const std::uint64_t least = PngSizeLowerBound(c.width, c.height, c.bit_depth / 8, texts);
  testing::TempDir dir;
  EncodeImage<PngEncoder>(dir.File("libpng.png"), c, pixels, texts);
  EncodeImage<ZlibPngEncoder>(dir.File("zlib.png"), c, pixels, texts);
  EXPECT_GE(std::filesystem::file_size(dir.File("libpng.png")), least);
  EXPECT_GE(std::filesystem::file_size(dir.File("zlib.png")), least);
}

INSTANTIATE_TEST_SUITE_P(
    Images, PngEncoderTest,
    ::testing::Values(PngImageCase{"NoiseOverManyChunks", 700, 500, 16, true},
                      PngImageCase{"RowWiderThanABatch", 150000, 3, 16, true},
                      PngImageCase{"OneColumn", 1, 300, 16, false},
                      PngImageCase{"OnePixel", 1, 1, 16, false},
                      PngImageCase{"EightBitRamp", 1024, 700, 8, false},
                      PngImageCase{"EightBitNoise", 900, 400, 8, true},
                      PngImageCase{"EightBitOneColumn", 1, 257, 8, true},
                      PngImageCase{"EightBitOnePixel", 1, 1, 8, true},
                      PngImageCase{"RowWiderThanADeflateBlock", 70000, 4, 8, true},
                      PngImageCase{"RampWiderThanADeflateBlock", 40000, 6, 16, false}),
    [](const auto& info) { return std::string(info.param.label); });

// What libpng refuses, the zlib encoder refuses in the same words.
struct PngRefusalCase {
  const char* label;
  std::uint32_t width, height;
  std::vector<PngText> texts;
};

void PrintTo(const PngRefusalCase& c, std::ostream* os) { *os << c.label; }

template <class Encoder>
std::string RefusalOf(const std::string& path, const PngRefusalCase& c) {
  TextFile out;
  CreateTextForWriting(out, path);
  try {
    Encoder png(out, c.width, c.height, 16, c.texts);
  } catch (const Exception& e) {
    CloseText(out);
    return e.message();
  }
  CloseText(out);
  return "accepted";
}

class PngRefusalTest : public ::testing::TestWithParam<PngRefusalCase> {};

TEST_P(PngRefusalTest, ZlibEncoderRefusesAsTheLibpngOne) {
  SkipWithoutLibpngEncoder();
  testing::TempDir dir;
  const std::string want = RefusalOf<PngEncoder>(dir.File("libpng.png"), GetParam());
  EXPECT_NE(want, "accepted");
  EXPECT_EQ(RefusalOf<ZlibPngEncoder>(dir.File("zlib.png"), GetParam()), want);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, PngRefusalTest,
    ::testing::Values(PngRefusalCase{"NoColumns", 0, 5, {}}, PngRefusalCase{"NoRows", 5, 0, {}},
                      PngRefusalCase{"WiderThanPngAllows", 0x80000000u, 1, {}},
                      PngRefusalCase{"EmptyKeyword", 5, 5, {{"a", "1"}, {"", "2"}}},
                      PngRefusalCase{"KeywordOfSpacesOnly", 5, 5, {{"   ", "2"}}},
                      PngRefusalCase{"KeywordOfControlBytesOnly", 5, 5, {{"\x01\x7f\xa0", "2"}}}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro
