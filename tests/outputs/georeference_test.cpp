// The GeoTIFF's scratch file and its size decision, and the world file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/text_file.h"
#include "outputs/formats/georeference_files.h"
#include "outputs/formats/geotiff_output.h"
#include "outputs/formats/tiff_scratch.h"
#include "tests/support/test_support.h"

namespace pelmoro::testing {
namespace {

// One call libtiff may make: a write of text at offset, or a seek to the
// end first (offset -1).
struct ScratchStep {
  std::int64_t offset;
  std::string text;
};

struct ScratchCase {
  const char* label;
  std::vector<ScratchStep> steps;
  std::string file;  // what the copy holds
};

void PrintTo(const ScratchCase& c, std::ostream* os) { *os << c.label; }

class TiffScratchTest : public ::testing::TestWithParam<ScratchCase> {};

TEST_P(TiffScratchTest, CopiesTheFileAsWrittenWithEveryPatch) {
  const ScratchCase& c = GetParam();
  TempDir dir;
  TiffScratch scratch(dir.File("m.tif"));
  for (const ScratchStep& step : c.steps) {
    const std::uint64_t at =
        step.offset < 0 ? scratch.Seek(0, SEEK_END) : scratch.Seek(step.offset, SEEK_SET);
    ASSERT_EQ(at, step.offset < 0 ? scratch.size() : static_cast<std::uint64_t>(step.offset));
    ASSERT_EQ(scratch.Write(step.text.data(), step.text.size()),
              static_cast<std::int64_t>(step.text.size()));
  }
  EXPECT_EQ(scratch.size(), c.file.size());
  // Read back from the start, through patches and the scratch file alike.
  std::string read(c.file.size() + 4, '?');
  scratch.Seek(0, SEEK_SET);
  EXPECT_EQ(scratch.Read(read.data(), read.size()), static_cast<std::int64_t>(c.file.size()));
  EXPECT_EQ(read.substr(0, c.file.size()), c.file);

  TextFile out;
  CreateTextForWriting(out, dir.File("copy"));
  CheckIoResult();
  scratch.CopyTo(out);
  CloseText(out);
  CheckIoResult();
  EXPECT_EQ(ReadFileBytes(dir.File("copy")), c.file);
}

INSTANTIATE_TEST_SUITE_P(
    Writes, TiffScratchTest,
    ::testing::Values(
        ScratchCase{"Forward", {{0, "II*+"}, {-1, "tiles"}}, "II*+tiles"},
        // The header's directory offset, rewritten once the directory is out.
        ScratchCase{
            "HeaderRewritten", {{0, "HEAD0000"}, {-1, "data"}, {4, "1234"}}, "HEAD1234data"},
        // A rewrite that runs past the end: the part beyond is appended.
        ScratchCase{"RewriteRunsPastTheEnd", {{0, "abcd"}, {2, "XYZW"}}, "abXYZW"},
        // A seek past the end leaves zeros between.
        ScratchCase{"GapReadsAsZeros", {{0, "ab"}, {5, "c"}}, std::string("ab\0\0\0c", 6)},
        // Two patches over the same bytes: the later wins.
        ScratchCase{"LaterPatchWins", {{0, "abcdef"}, {1, "XX"}, {2, "YY"}}, "aXYYef"}),
    [](const auto& info) { return std::string(info.param.label); });

struct BigTiffCase {
  const char* label;
  std::int64_t columns, rows;
  bool big;
};

void PrintTo(const BigTiffCase& c, std::ostream* os) { *os << c.label; }

class BigTiffTest : public ::testing::TestWithParam<BigTiffCase> {};

TEST_P(BigTiffTest, ChoosesBigTiffWhenTheDataCouldPassFourGiB) {
  const BigTiffCase& c = GetParam();
  EXPECT_EQ(NeedsBigTiff(c.columns, c.rows), c.big);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, BigTiffTest,
    ::testing::Values(BigTiffCase{"OnePixel", 1, 1, false},
                      BigTiffCase{"Relief", 15687, 15687, false},
                      // 32,000^2 floats: 3.8 GiB raw, plus the padding of the edge tiles.
                      BigTiffCase{"JustBelow", 32000, 32000, false},
                      // 32,768^2 floats are 4 GiB exactly: the worst case passes it.
                      BigTiffCase{"FourGiBRaw", 32768, 32768, true},
                      BigTiffCase{"LongStrip", 2147483647, 256, true}),
    [](const auto& info) { return std::string(info.param.label); });

struct WorldCase {
  const char* label;
  Lattice lattice;
  std::int64_t rows;
  int units;
  std::int64_t origin_x, origin_y;
  std::string text;
};

void PrintTo(const WorldCase& c, std::ostream* os) { *os << c.label; }

class WorldFileTest : public ::testing::TestWithParam<WorldCase> {};

TEST_P(WorldFileTest, GivesThePixelAndTheUpperLeftCentre) {
  const WorldCase& c = GetParam();
  ImageSettings settings;
  settings.units = c.units;
  settings.origin_x = c.origin_x;
  settings.origin_y = c.origin_y;
  EXPECT_EQ(WorldFileText(c.lattice, c.rows, settings), c.text);
}

Lattice LatticeAt(std::int32_t x_min, std::int32_t y_min, int pitch, std::int64_t columns,
                  std::int64_t rows) {
  Lattice l;
  l.x_min = x_min;
  l.y_min = y_min;
  l.pitch = pitch;
  l.columns = columns;
  l.rows = rows;
  l.y_max = static_cast<std::int32_t>(y_min + (rows - 1) * pitch);
  return l;
}

INSTANTIATE_TEST_SUITE_P(
    Lattices, WorldFileTest,
    ::testing::Values(WorldCase{"Millimetres", LatticeAt(40, 80, 4, 10, 5), 5, 40, 0, 0,
                                "0.1\r\n0\r\n0\r\n-0.1\r\n1\r\n2.4\r\n"},
                      // A stopped scan: the top is the last row written.
                      WorldCase{"FewerRows", LatticeAt(40, 80, 4, 10, 5), 2, 40, 0, 0,
                                "0.1\r\n0\r\n0\r\n-0.1\r\n1\r\n2.1\r\n"},
                      // A terrain in metres shifted by 500 km east, 5,000 km north.
                      WorldCase{"ShiftedMetres", LatticeAt(0, 0, 250, 3, 3), 3, 40000,
                                INT64_C(500000) * 40000, INT64_C(5000000) * 40000,
                                "0.00625\r\n0\r\n0\r\n-0.00625\r\n500000\r\n5000000.0125\r\n"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro::testing
