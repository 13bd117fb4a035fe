// One run writing the height map together with the PNG, the ESRI grid and
// the preview: every file from the same scan, all kept or all abandoned.
#include "run/map_outputs.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "outputs/files/disk_space.h"
#include "outputs/formats/hzm_size.h"
#include "run/conversion_run.h"
#include "tests/support/fake_driver.h"
#include "tests/support/map_readers.h"
#include "tests/support/special_env.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

using testing::FakeDriver;
using testing::ReadFileBytes;
using testing::TempDir;
using Names = std::vector<std::string>;

std::string Facet(const std::string& a, const std::string& b, const std::string& c) {
  return "vertex " + a + "\nvertex " + b + "\nvertex " + c + "\n";
}

// The request for m.hzm with m.png, m.asc and the preview p.png beside it.
ConversionRequest AllFormats(const TempDir& dir, const std::string& input, int pitch) {
  ConversionRequest request{input, dir.File("m.hzm"), pitch};
  request.also = {{dir.File("m.png"), OutputFormat::kPng},
                  {dir.File("m.asc"), OutputFormat::kAsc},
                  {dir.File("p.png"), OutputFormat::kPreview}};
  return request;
}

struct ModelCase {
  const char* label;
  std::string stl;
  int pitch;
  // The text chunks the PNG must carry.
  std::string pitch_mm, z_mm_at_0, z_mm_at_65535, x_mm, y_mm;
};

void PrintTo(const ModelCase& c, std::ostream* os) { *os << c.label; }

class AllFormatsTest : public ::testing::TestWithParam<ModelCase> {};

TEST_P(AllFormatsTest, EveryOutputHoldsTheHeightMapsHeights) {
  const ModelCase& c = GetParam();
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  const ConversionRequest request = AllFormats(dir, dir.Write("m.stl", c.stl), c.pitch);
  const ConversionResult result = RunConversion(store, request, driver);
  EXPECT_EQ(result.outcome, RunOutcome::kComplete);
  // One reading and one scan for all four files.
  EXPECT_EQ(driver.phases.size(), 3u);
  EXPECT_EQ(testing::ListFolder(dir.path()), (Names{"m.asc", "m.hzm", "m.png", "m.stl", "p.png"}));

  const auto points = testing::ParseHzm(ReadFileBytes(dir.File("m.hzm")));
  ASSERT_EQ(static_cast<std::int64_t>(points.size()), result.lattice.points());
  const testing::DecodedPng png = testing::DecodePng(dir.File("m.png"));
  EXPECT_EQ(testing::PngAgainstHzm(png, points), "same");
  EXPECT_EQ(png.texts.at("pitch_mm"), c.pitch_mm);
  EXPECT_EQ(png.texts.at("z_mm_at_0"), c.z_mm_at_0);
  EXPECT_EQ(png.texts.at("z_mm_at_65535"), c.z_mm_at_65535);
  EXPECT_EQ(png.texts.at("x_mm"), c.x_mm);
  EXPECT_EQ(png.texts.at("y_mm"), c.y_mm);

  const testing::AscGrid grid = testing::ParseAsc(ReadFileBytes(dir.File("m.asc")));
  EXPECT_EQ(testing::AscAgainstHzm(grid, points), "same");
  EXPECT_EQ(grid.header.at("xllcenter"), c.x_mm);
  EXPECT_EQ(grid.header.at("yllcenter"), c.y_mm);
  EXPECT_EQ(grid.header.at("cellsize"), c.pitch_mm);

  const testing::DecodedPng preview = testing::DecodePng(dir.File("p.png"));
  EXPECT_EQ(preview.bit_depth, 8);
  EXPECT_EQ(preview.width, result.lattice.columns);
  EXPECT_EQ(preview.height, result.lattice.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Models, AllFormatsTest,
    ::testing::Values(
        // Covered at 1 mm, uncovered at 0: 0 to 1 mm over the full range.
        // The images cover the model's extent: x and y from 1 mm.
        ModelCase{"WorkedExample", Facet("0.1 0.1 1", "2.1 0.1 1", "0.1 2.1 1"), 40, "1", "0", "1",
                  "1", "1"},
        // Below zero and to the lower left of the origin; uneven rows.
        ModelCase{"BelowAndLeftOfTheOrigin",
                  Facet("-2 -1 -3", "4 -1 5", "-2 3 2") + Facet("4 -1 5", "4 3 -1", "-2 3 2"),
                  // The reader takes negative millimetres to the grid unit
                  // towards zero (-3 mm is -119 units).
                  20, "0.5", "-2.975", "4.475", "-1.975", "-0.975"},
        ModelCase{
            "RangeOf65535Units",
            Facet("0 0 0", "3 0 1638.375", "0 3 819") + Facet("3 0 1638.375", "3 3 0", "0 3 819"),
            40, "1", "0", "1638.375", "0", "0"},
        ModelCase{"RangeOf65536Units",
                  Facet("0 0 0", "3 0 1638.4", "0 3 819") + Facet("3 0 1638.4", "3 3 0", "0 3 819"),
                  40, "1", "0", "1638.4", "0", "0"},
        // 0 to 2000 mm in 0.1 mm steps: 80,000 units over 21 x 21 points.
        ModelCase{"TallRamp",
                  Facet("0 0 0", "2 0 2000", "0 2 1000") + Facet("2 0 2000", "2 2 0", "0 2 1000"),
                  4, "0.1", "0", "2000", "0", "0"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(AllFormatsTest, StoppedRunHoldsTheRowsScannedInEveryOutput) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  // Passes 1 and 2 follow the triangles, passes 3 and 4 the first two rows.
  driver.on_pass = [&](int pass) { driver.stop = driver.stop || pass == 4; };
  const std::string stl = Facet("0 0 0", "2 0 4", "0 2 1") + Facet("2 0 4", "2 2 3", "0 2 1");
  const ConversionRequest request = AllFormats(dir, dir.Write("m.stl", stl), 20);
  EXPECT_EQ(RunConversion(store, request, driver).outcome, RunOutcome::kStopped);
  const auto points = testing::ParseHzm(ReadFileBytes(dir.File("m.hzm")));
  ASSERT_EQ(points.size(), 2u * 5u);
  const testing::DecodedPng png = testing::DecodePng(dir.File("m.png"));
  EXPECT_EQ(png.height, 2u);
  EXPECT_EQ(testing::PngAgainstHzm(png, points), "same");
  const testing::AscGrid grid = testing::ParseAsc(ReadFileBytes(dir.File("m.asc")));
  EXPECT_EQ(grid.header.at("nrows"), "2");
  EXPECT_EQ(testing::AscAgainstHzm(grid, points), "same");
  EXPECT_EQ(testing::DecodePng(dir.File("p.png")).height, 2u);
}

// The PNG's levels under each setting, against the height map of the same
// run; one level per unit refuses a map whose heights it cannot hold, and
// nothing is written then.
struct PngLevelsCase {
  const char* label;
  ImageSettings settings;
  std::string stl;
  int pitch;
  const char* top_key;    // the text chunk of the largest sample
  const char* top_value;  // its height, or "" when the run is refused
};

void PrintTo(const PngLevelsCase& c, std::ostream* os) { *os << c.label; }

class PngLevelsTest : public ::testing::TestWithParam<PngLevelsCase> {};

TEST_P(PngLevelsTest, PixelsFollowTheLevelsOfTheSetting) {
  const PngLevelsCase& c = GetParam();
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  ConversionRequest request{dir.Write("m.stl", c.stl), dir.File("m.hzm"), c.pitch};
  request.also = {{dir.File("m.png"), OutputFormat::kPng}};
  request.images = c.settings;
  if (*c.top_value == '\0') {
    EXPECT_THROW(RunConversion(store, request, driver), EOutputError);
    EXPECT_EQ(testing::ListFolder(dir.path()), Names{"m.stl"});
    return;
  }
  RunConversion(store, request, driver);
  const auto points = testing::ParseHzm(ReadFileBytes(dir.File("m.hzm")));
  const testing::DecodedPng png = testing::DecodePng(dir.File("m.png"));
  const testing::PngRule rule{c.settings.png_levels == PngLevels::kUnits, c.settings.bit_depth};
  EXPECT_EQ(testing::PngAgainstHzm(png, points, rule), "same");
  EXPECT_EQ(png.texts.at("z_mm_at_0"), "0");
  EXPECT_EQ(png.texts.at(c.top_key), c.top_value);
  EXPECT_EQ(png.texts.size(), 6u);
}

const std::string kRamp = Facet("0 0 0", "2 0 15", "0 2 7.5") + Facet("2 0 15", "2 2 0", "0 2 7.5");
const std::string kLevel = Facet("0 0 0", "2 0 0", "0 2 0") + Facet("2 0 0", "2 2 0", "0 2 0");

INSTANTIATE_TEST_SUITE_P(
    Settings, PngLevelsTest,
    ::testing::Values(
        PngLevelsCase{"FullRange", {}, kRamp, 4, "z_mm_at_65535", "15"},
        PngLevelsCase{"FullRangeLevelMap", {}, kLevel, 4, "z_mm_at_65535", "0"},
        PngLevelsCase{"Units", {PngLevels::kUnits, 16}, kRamp, 4, "z_mm_at_65535", "1638.375"},
        PngLevelsCase{"EightBits", {PngLevels::kFullRange, 8}, kRamp, 4, "z_mm_at_255", "15"},
        // 600 units over 255 levels.
        PngLevelsCase{"EightBitUnitsRefused", {PngLevels::kUnits, 8}, kRamp, 4, "z_mm_at_255", ""},
        PngLevelsCase{"EightBitUnits",
                      {PngLevels::kUnits, 8},
                      Facet("0 0 0", "2 0 5", "0 2 2.5") + Facet("2 0 5", "2 2 0", "0 2 2.5"),
                      4,
                      "z_mm_at_255",
                      "6.375"}),
    [](const auto& info) { return std::string(info.param.label); });

// Points no triangle covers: NODATA in the grid unless filled, z min in the
// PNG unless it has alpha, transparent then. The worked example at 1 mm
// covers one point of its 3 x 3 lattice, at 1 mm.
struct NoDataCase {
  const char* label;
  ImageSettings settings;
  const char* nodata;     // the grid's NODATA_value, "" for none
  std::int64_t missing;   // the grid's NODATA values
  int color_type;         // the PNG's: 0 gray, 4 gray and alpha
  std::uint32_t opaque;   // the alpha of a covered point
  std::string z_mm_at_0;  // the PNG's lowest height
};

void PrintTo(const NoDataCase& c, std::ostream* os) { *os << c.label; }

class NoDataTest : public ::testing::TestWithParam<NoDataCase> {};

TEST_P(NoDataTest, UncoveredPointsAreNoDataWhereTheSettingsSay) {
  const NoDataCase& c = GetParam();
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  ConversionRequest request{dir.Write("m.stl", Facet("0.1 0.1 1", "2.1 0.1 1", "0.1 2.1 1")),
                            dir.File("m.asc"),
                            40,
                            {},
                            OutputFormat::kAsc};
  request.also = {{dir.File("m.png"), OutputFormat::kPng}};
  request.images = c.settings;
  // The whole lattice, 0 to 2 mm, rather than the model's extent.
  request.images.window = PlanWindow{0, 0, 80, 80};
  RunConversion(store, request, driver);

  const testing::AscGrid grid = testing::ParseAsc(ReadFileBytes(dir.File("m.asc")));
  const auto nodata = grid.header.find("NODATA_value");
  EXPECT_EQ(nodata == grid.header.end() ? "" : nodata->second, c.nodata);
  std::int64_t missing = 0;
  for (const auto& row : grid.rows) {
    for (const std::int64_t z : row) {
      if (z == testing::kAscNoData) {
        ++missing;
      } else {
        EXPECT_EQ(z, c.missing == 0 && z != 40 ? 0 : 40);
      }
    }
  }
  EXPECT_EQ(missing, c.missing);
  // The covered point, at (1, 1): the middle of the grid.
  EXPECT_EQ(grid.rows.at(1).at(1), 40);

  const testing::DecodedPng png = testing::DecodePng(dir.File("m.png"));
  EXPECT_EQ(png.color_type, c.color_type);
  EXPECT_EQ(png.texts.at("z_mm_at_0"), c.z_mm_at_0);
  if (c.color_type == 4) {
    ASSERT_EQ(png.alpha.size(), 9u);
    for (std::uint32_t k = 0; k < 9; ++k) {
      EXPECT_EQ(png.alpha[k], k == 4 ? c.opaque : 0u) << k;
      if (k != 4) {
        EXPECT_EQ(png.pixels[k], 0u) << k;
      }
    }
  } else {
    const std::uint32_t top = (1u << c.settings.bit_depth) - 1;
    for (std::uint32_t k = 0; k < 9; ++k) EXPECT_EQ(png.pixels[k], k == 4 ? top : 0u) << k;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, NoDataTest,
    ::testing::Values(
        NoDataCase{"NoDataByDefault", {}, "-9999", 8, 0, 0, "0"},
        NoDataCase{"Filled", {PngLevels::kFullRange, 16, true}, "", 0, 0, 0, "0"},
        NoDataCase{"PngAlpha", {PngLevels::kFullRange, 16, false, true}, "-9999", 8, 4, 65535, "1"},
        NoDataCase{"PngAlphaEightBitsGridFilled",
                   {PngLevels::kFullRange, 8, true, true},
                   "",
                   0,
                   4,
                   255,
                   "1"}),
    [](const auto& info) { return std::string(info.param.label); });

// A failing output leaves every earlier file as it was, and no temporary.
struct OutputFailureCase {
  const char* label;
  std::vector<std::string> outputs;  // in the folder; the first is the main output
  std::string failing;               // the output the error names
};

void PrintTo(const OutputFailureCase& c, std::ostream* os) { *os << c.label; }

class OutputFailureTest : public ::testing::TestWithParam<OutputFailureCase> {};

TEST_P(OutputFailureTest, LeavesEveryEarlierFileAsItWas) {
  const OutputFailureCase& c = GetParam();
  TempDir dir;
  const std::string input = dir.Write("m.stl", Facet("0 0 0", "2 0 4", "0 2 1"));
  std::filesystem::create_directory(dir.path() / "folder.png");
  for (const char* name : {"m.hzm", "m.png", "m.asc"}) dir.Write(name, "earlier work\r\n");
  const auto before = testing::ListFolder(dir.path());
  ConversionRequest request{input, dir.File(c.outputs.front()), 20};
  request.format = FormatOfName(c.outputs.front());
  for (std::size_t k = 1; k < c.outputs.size(); ++k) {
    request.also.push_back({dir.File(c.outputs[k]), FormatOfName(c.outputs[k])});
  }
  GeometryStore store;
  FakeDriver driver;
  try {
    RunConversion(store, request, driver);
    FAIL() << "no error";
  } catch (const EOutputError& e) {
    EXPECT_EQ(e.file(), dir.File(c.failing));
  }
  EXPECT_EQ(testing::ListFolder(dir.path()), before);
  for (const char* name : {"m.hzm", "m.png", "m.asc"}) {
    EXPECT_EQ(ReadFileBytes(dir.File(name)), "earlier work\r\n") << name;
  }
  EXPECT_TRUE(driver.phases.empty()) << "the model was read";
}

INSTANTIATE_TEST_SUITE_P(
    Failures, OutputFailureTest,
    ::testing::Values(
        OutputFailureCase{"ThirdInMissingFolder", {"m.hzm", "m.png", "gone/m.asc"}, "gone/m.asc"},
        OutputFailureCase{"SecondIsAFolder", {"m.hzm", "folder.png", "m.asc"}, "folder.png"},
        OutputFailureCase{"MainInMissingFolder", {"gone/m.hzm", "m.png"}, "gone/m.hzm"},
        OutputFailureCase{
            "PngMainWithGridInMissingFolder", {"m.png", "m.asc", "no/m.asc"}, "no/m.asc"}),
    [](const auto& info) { return std::string(info.param.label); });

// Rows handed on to every output directly, as a scan would: three points
// a row.
void HandOnRows(MapOutputs& outputs, const Lattice& lattice) {
  static const std::int32_t kHeights[3] = {1, 2, 3};
  for (std::int64_t row = 0; row < lattice.rows; ++row) {
    const RowPiece piece{row, 0, kHeights, true};
    std::vector<RowText> texts;
    for (const RowFormatter* f : outputs.sink().formatters()) {
      f->FormatPiece(lattice, piece, texts.emplace_back());
    }
    outputs.sink().WritePiece(piece, texts);
  }
}

// Whatever fails in an output as the run ends names that output, an I/O
// error or an error of its format, and every output is abandoned with it.
struct FinishFailureCase {
  const char* label;
  // The first is the main output; a name without "/" lies in the folder.
  std::vector<std::pair<std::string, OutputFormat>> outputs;
  std::int64_t rows;    // handed on before the commit
  std::string failing;  // the output the error names
  int io_code;          // 0 for an error of the format
  std::string message;  // the format's error (I/O errors carry their code's)
};

void PrintTo(const FinishFailureCase& c, std::ostream* os) { *os << c.label; }

class FinishFailureTest : public ::testing::TestWithParam<FinishFailureCase> {};

TEST_P(FinishFailureTest, NamesTheOutputThatFailedAndKeepsEveryEarlierFile) {
  const FinishFailureCase& c = GetParam();
  // Finished in turn, and side by side on threads of their own.
  for (const int threads : {1, 3}) {
    SCOPED_TRACE(threads);
    TempDir dir;
    std::vector<OutputRequest> requests;
    for (const auto& [name, format] : c.outputs) {
      const bool in_folder = name.find('/') == std::string::npos;
      if (in_folder) dir.Write(name, "earlier work\r\n");
      requests.push_back({in_folder ? dir.File(name) : name, format});
    }
    const auto before = testing::ListFolder(dir.path());
    Lattice lattice;
    lattice.columns = 3;
    lattice.rows = c.rows;
    try {
      MapOutputs outputs(requests);
      outputs.Start(lattice, ModelBounds{});
      HandOnRows(outputs, lattice);
      outputs.Commit({}, threads);
      ADD_FAILURE() << "no error";
    } catch (const EOutputError& e) {
      const bool in_folder = c.failing.find('/') == std::string::npos;
      EXPECT_EQ(e.file(), in_folder ? dir.File(c.failing) : c.failing);
      EXPECT_EQ(e.io_error() != nullptr ? e.io_error()->code() : 0, c.io_code);
      EXPECT_EQ(e.message(), c.io_code != 0 ? IoErrorMessage(c.io_code) : c.message);
    }
    EXPECT_EQ(testing::ListFolder(dir.path()), before);
    for (const std::string& name : before) {
      EXPECT_EQ(ReadFileBytes(dir.File(name)), "earlier work\r\n") << name;
    }
  }
}

// libpng refuses an image of no rows, which a run never asks for, but
// which makes an error of the format that is no I/O error.
const std::string kNoRows = "PNG: Invalid IHDR data";

INSTANTIATE_TEST_SUITE_P(
    Failures, FinishFailureTest,
    ::testing::Values(
        FinishFailureCase{"PngAfterTheHeightMap",
                          {{"m.hzm", OutputFormat::kHzm}, {"m.png", OutputFormat::kPng}},
                          0,
                          "m.png",
                          0,
                          kNoRows},
        FinishFailureCase{"PngAsTheMainOutput",
                          {{"m.png", OutputFormat::kPng}, {"m.asc", OutputFormat::kAsc}},
                          0,
                          "m.png",
                          0,
                          kNoRows},
        FinishFailureCase{"PreviewAfterTheGrid",
                          {{"m.asc", OutputFormat::kAsc}, {"p.png", OutputFormat::kPreview}},
                          0,
                          "p.png",
                          0,
                          kNoRows},
        FinishFailureCase{"TwoFailTheFirstIsNamed",
                          {{"m.hzm", OutputFormat::kHzm},
                           {"m.png", OutputFormat::kPng},
                           {"n.png", OutputFormat::kPng}},
                          0,
                          "m.png",
                          0,
                          kNoRows},
        FinishFailureCase{"GridOnAFullDevice",
                          {{"m.hzm", OutputFormat::kHzm}, {"/dev/full", OutputFormat::kAsc}},
                          2,
                          "/dev/full",
                          112,
                          ""}),
    [](const auto& info) { return std::string(info.param.label); });

// The room every output takes is checked before the scan, summed over the
// outputs on one disk.
struct SpaceCheckCase {
  const char* label;
  // The first is the main output; a name without "/" lies in the folder.
  std::vector<std::pair<std::string, OutputFormat>> outputs;
  // The lattice: 0 for one no disk holds in any format but the preview;
  // else one whose text in the format of sized_by takes at least this share
  // of the disk.
  double share_of_free;
  std::vector<std::string> refused;  // the outputs the refusal names; empty: it fits
  std::uint64_t (*sized_by)(const Lattice&) = HzmSizeLowerBound;
};

void PrintTo(const SpaceCheckCase& c, std::ostream* os) { *os << c.label; }

class SpaceCheckTest : public ::testing::TestWithParam<SpaceCheckCase> {};

// The free space of the folder's disk as the check counts it.
std::uint64_t FreeBytesIn(const TempDir& dir) {
  const int fd = ::open(dir.File("probe").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  const std::optional<SpaceClaim> room = ClaimSpaceOn(fd, 0, "probe");
  ::close(fd);
  std::filesystem::remove(dir.File("probe"));
  return room ? room->free : 0;
}

// The smallest square lattice whose size by `bound` is at least `bytes`.
Lattice LatticeOfAtLeast(std::uint64_t bytes, std::uint64_t (*bound)(const Lattice&)) {
  Lattice lattice;
  std::int64_t low = 1, high = std::int64_t{1} << 31;
  while (low < high) {
    lattice.columns = lattice.rows = (low + high) / 2;
    if (bound(lattice) < bytes) {
      low = lattice.columns + 1;
    } else {
      high = lattice.columns;
    }
  }
  lattice.columns = lattice.rows = low;
  return lattice;
}

TEST_P(SpaceCheckTest, RefusesBeforeTheScanWhatCannotFit) {
  const SpaceCheckCase& c = GetParam();
  // A disk of a known size, whatever this machine's has free.
  testing::SpecialEnv env;
  env.free_bytes = std::uint64_t{3} << 30;
  const EnvOverride system(env);
  TempDir dir;
  const auto path = [&dir](const std::string& name) {
    return name.find('/') == std::string::npos ? dir.File(name) : name;
  };
  std::vector<OutputRequest> requests;
  for (const auto& [name, format] : c.outputs) requests.push_back({path(name), format});
  Lattice lattice;
  lattice.columns = lattice.rows = std::int64_t{1} << 30;
  if (c.share_of_free > 0) {
    const std::uint64_t free = FreeBytesIn(dir);
    ASSERT_EQ(free, *env.free_bytes);
    lattice = LatticeOfAtLeast(static_cast<std::uint64_t>(c.share_of_free * free), c.sized_by);
  }
  std::vector<std::string> named;
  {
    MapOutputs outputs(requests);
    outputs.Start(lattice, ModelBounds{});
    try {
      outputs.RequireSpace();
    } catch (const ENotEnoughSpace& e) {
      named = e.targets();
    }
  }
  std::vector<std::string> expected;
  for (const std::string& name : c.refused) expected.push_back(path(name));
  EXPECT_EQ(named, expected);
  EXPECT_TRUE(testing::ListFolder(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, SpaceCheckTest,
    ::testing::Values(
        SpaceCheckCase{"HeightMap", {{"m.hzm", OutputFormat::kHzm}}, 0, {"m.hzm"}},
        SpaceCheckCase{"PngAsTheMainOutput", {{"m.png", OutputFormat::kPng}}, 0, {"m.png"}},
        SpaceCheckCase{"GridAlso",
                       {{"/dev/null", OutputFormat::kHzm}, {"m.asc", OutputFormat::kAsc}},
                       0,
                       {"m.asc"}},
        SpaceCheckCase{"PngAlso",
                       {{"/dev/null", OutputFormat::kHzm}, {"m.png", OutputFormat::kPng}},
                       0,
                       {"m.png"}},
        SpaceCheckCase{"PreviewStaysSmall",
                       {{"/dev/null", OutputFormat::kHzm}, {"p.png", OutputFormat::kPreview}},
                       0,
                       {}},
        SpaceCheckCase{"DeviceHasNoLimit", {{"/dev/null", OutputFormat::kHzm}}, 0, {}},
        // Heights past the memory go to a scratch file beside the output,
        // a file all the same, wherever the output lies.
        SpaceCheckCase{"GridOnADevice", {{"/dev/null", OutputFormat::kAsc}}, 0, {"/dev/null"}},
        SpaceCheckCase{"OneHeightMapOfAThirdOfTheDisk", {{"a.hzm", OutputFormat::kHzm}}, 0.35, {}},
        SpaceCheckCase{"TwoThatFitOnlyAlone",
                       {{"a.hzm", OutputFormat::kHzm}, {"b.hzm", OutputFormat::kHzm}},
                       0.6,
                       {"a.hzm", "b.hzm"}}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro
