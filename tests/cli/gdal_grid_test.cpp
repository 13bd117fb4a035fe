// GDAL reads the ESRI grids and GeoTIFFs stl2hzm writes as GIS programs
// will: the size, the georeferencing, the NODATA value, the statistics and
// the reference system, from `gdalinfo -json -stats`. Skips where GDAL's tools are not installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/cli/child_process.h"
#include "tests/support/test_support.h"

namespace pelmoro::testing {
namespace {

bool HaveGdalInfo() { return std::system("command -v gdalinfo >/dev/null 2>&1") == 0; }

// The numbers of the JSON array or value that follows "key": in text.
std::vector<double> NumbersAfter(const std::string& json, const std::string& key) {
  std::vector<double> numbers;
  std::size_t at = json.find("\"" + key + "\":");
  if (at == std::string::npos) return numbers;
  at += key.size() + 3;
  const bool array = json[at] == '[';
  const std::size_t end = array ? json.find(']', at) : json.find_first_of(",}\n", at);
  std::string part = json.substr(at + (array ? 1 : 0), end - at - (array ? 1 : 0));
  for (std::size_t begin = 0; begin < part.size();) {
    std::size_t next = part.find(',', begin);
    if (next == std::string::npos) next = part.size();
    numbers.push_back(std::stod(part.substr(begin, next - begin)));
    begin = next + 1;
  }
  return numbers;
}

struct GdalCase {
  const char* label;
  std::string model;              // written as m.stl
  std::vector<std::string> args;  // besides -o m.asc
  std::vector<double> size;       // columns, rows
  std::vector<double> transform;  // left edge, cell, top edge
  std::optional<double> nodata;
  double minimum, maximum;
  std::string output = "m.asc";
  // A text the reference system's WKT holds; empty: GDAL finds none.
  std::string crs = "";
  std::string beside = "";  // a file that must be written beside the output
};

void PrintTo(const GdalCase& c, std::ostream* os) { *os << c.label; }

class GdalGridTest : public ::testing::TestWithParam<GdalCase> {};

TEST_P(GdalGridTest, GdalReadsTheGridAsWritten) {
  if (!HaveGdalInfo()) GTEST_SKIP() << "gdalinfo is not installed";
  const GdalCase& c = GetParam();
  TempDir dir;
  if (c.model.empty()) {  // the terrain of tools/make_terrain.py
    std::filesystem::copy_file(TestData("utm_terrain.stl"), dir.File("m.stl"));
  } else {
    dir.Write("m.stl", c.model);
  }
  std::vector<std::string> args = {"-q", "-o", c.output};
  args.insert(args.end(), c.args.begin(), c.args.end());
  args.push_back("m.stl");
  const Outcome r = RunStl2hzm({args, dir.path().string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string json_file = dir.File("info.json");
  const std::string command =
      "gdalinfo -json -stats '" + dir.File(c.output) + "' > '" + json_file + "' 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << "gdalinfo refused the grid";
  const std::string json = ReadFileBytes(json_file);
  if (!c.beside.empty()) {
    EXPECT_TRUE(std::filesystem::exists(dir.File(c.beside))) << c.beside;
  }
  EXPECT_EQ(NumbersAfter(json, "size"), c.size);
  const std::vector<double> t = NumbersAfter(json, "geoTransform");
  ASSERT_EQ(t.size(), 6u) << json;
  EXPECT_DOUBLE_EQ(t[0], c.transform[0]);
  EXPECT_DOUBLE_EQ(t[1], c.transform[1]);
  EXPECT_DOUBLE_EQ(t[3], c.transform[2]);
  EXPECT_DOUBLE_EQ(t[5], -c.transform[1]);
  const std::vector<double> nodata = NumbersAfter(json, "noDataValue");
  if (c.nodata) {
    EXPECT_EQ(nodata, std::vector<double>{*c.nodata});
  } else {
    EXPECT_TRUE(nodata.empty()) << json;
  }
  // GDAL reads the values as 32-bit floats.
  ASSERT_EQ(NumbersAfter(json, "minimum").size(), 1u) << json;
  EXPECT_FLOAT_EQ(static_cast<float>(NumbersAfter(json, "minimum")[0]), c.minimum);
  EXPECT_FLOAT_EQ(static_cast<float>(NumbersAfter(json, "maximum")[0]), c.maximum);
  if (c.crs.empty()) {
    EXPECT_EQ(json.find("PROJCRS"), std::string::npos) << json;
    EXPECT_EQ(json.find("GEOGCRS"), std::string::npos) << json;
  } else {
    EXPECT_NE(json.find(c.crs), std::string::npos) << json;
  }
}

const std::string kWorked = "vertex 0.1 0.1 1\nvertex 2.1 0.1 1\nvertex 0.1 2.1 1\n";
// tools/make_terrain.py: a terrain in UTM metres whose lower-left vertex is
// 433217.3 E, 5212844.65 N, at 312 to 312.47 m. Empty: that file.
const std::string kUtmTerrain = "";
// Read at 6.25 mm with --shift auto (433 km, 5,212 km): the grids sit at
// the model's own corner, half a cell out.
const std::vector<double> kTerrainTransform = {433217.3 - 0.003125, 0.00625, 5212846.15 + 0.003125};
const std::string kSite = "vertex 2 3 0.5\nvertex 4 3 1.5\nvertex 2 5 1\n";

INSTANTIATE_TEST_SUITE_P(
    Grids, GdalGridTest,
    ::testing::Values(
        // The model's extent, 1 to 2 mm: one point of four covered.
        GdalCase{"ExtentWithNoData", kWorked, {"--pitch", "1"}, {2, 2}, {0.5, 1, 2.5}, -9999, 1, 1},
        GdalCase{"BoundsWithNoData",
                 kWorked,
                 {"--pitch", "1", "--bounds", "0,0,2,2"},
                 {3, 3},
                 {-0.5, 1, 2.5},
                 -9999,
                 1,
                 1},
        GdalCase{"BoundsFilled",
                 kWorked,
                 {"--pitch", "1", "--bounds", "0,0,2,2", "--fill"},
                 {3, 3},
                 {-0.5, 1, 2.5},
                 std::nullopt,
                 0,
                 1},
        // A terrain in metres: the grid in metres, at the model's own place.
        GdalCase{"Metres",
                 kSite,
                 {"--units", "m", "--pitch", "6.25"},
                 {321, 321},
                 {1.996875, 0.00625, 5.003125},
                 -9999,
                 0.5,
                 1.5},
        // The same as GeoTIFFs: the same georeferencing and values.
        GdalCase{"TiffExtentWithNoData",
                 kWorked,
                 {"--pitch", "1"},
                 {2, 2},
                 {0.5, 1, 2.5},
                 -9999,
                 1,
                 1,
                 "m.tif"},
        GdalCase{"TiffBoundsFilled",
                 kWorked,
                 {"--pitch", "1", "--bounds", "0,0,2,2", "--fill"},
                 {3, 3},
                 {-0.5, 1, 2.5},
                 std::nullopt,
                 0,
                 1,
                 "m.tiff"},
        GdalCase{"TiffMetres",
                 kSite,
                 {"--units", "m", "--pitch", "6.25"},
                 {321, 321},
                 {1.996875, 0.00625, 5.003125},
                 -9999,
                 0.5,
                 1.5,
                 "m.tif"},
        // Depths: 0 at the highest point, 1 mm down at the lowest.
        GdalCase{"TiffInverted",
                 kSite,
                 {"--units", "m", "--pitch", "6.25", "--invert", "--format", "tif"},
                 {321, 321},
                 {1.996875, 0.00625, 5.003125},
                 -9999,
                 0,
                 1,
                 "m.grid"},
        // A terrain in UTM metres, shifted as it is read and put back.
        GdalCase{"UtmTerrainTiff",
                 kUtmTerrain,
                 {"--units", "m", "--pitch", "6.25", "--shift", "auto", "--crs", "EPSG:32633"},
                 {321, 241},
                 kTerrainTransform,
                 -9999,
                 312,
                 312.47,
                 "m.tif",
                 "UTM zone 33N"},
        GdalCase{"UtmTerrainGridWithPrj",
                 kUtmTerrain,
                 {"--units", "m", "--pitch", "6.25", "--shift", "auto", "--crs", "EPSG:32633"},
                 {321, 241},
                 kTerrainTransform,
                 -9999,
                 312,
                 312.47,
                 "m.asc",
                 "UTM zone 33N",
                 "m.prj"},
        // A shift given by hand gives the same place.
        GdalCase{"UtmTerrainGivenShift",
                 kUtmTerrain,
                 {"--units", "m", "--pitch", "6.25", "--shift", "433200,5212800.5"},
                 {321, 241},
                 kTerrainTransform,
                 -9999,
                 312,
                 312.47,
                 "m.tif"},
        // A geographic system: its keys, not a projected one's.
        GdalCase{"GeographicTiff",
                 kWorked,
                 {"--pitch", "1", "--crs", "EPSG:4326"},
                 {2, 2},
                 {0.5, 1, 2.5},
                 -9999,
                 1,
                 1,
                 "m.tif",
                 "\"wkt\":\"GEOGCRS[\\\"WGS 84"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro::testing
