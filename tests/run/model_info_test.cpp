#include "run/model_info.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/fake_driver.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

struct InfoCase {
  std::string name;
  std::string model;  // in tests/data, "golden:" and a golden model, or "corpus:" and a corpus file
  int pitch;
  bool surface;
  int units = kGridUnitsPerMillimetre;
};

std::string ModelPath(const std::string& model) {
  if (model.rfind("golden:", 0) == 0) return testing::GoldenFile(model.substr(7));
  if (model.rfind("corpus:", 0) != 0) return testing::TestData(model);
  return (std::filesystem::path(PELMORO_CORPUS_DIR) / model.substr(7)).string();
}

class InspectModelTest : public ::testing::TestWithParam<InfoCase> {};

// The size told without writing is the size of the map written.
TEST_P(InspectModelTest, MapSizeIsTheSizeOfTheConversion) {
  const InfoCase& c = GetParam();
  const std::string input = ModelPath(c.model);
  if (!std::filesystem::exists(input)) GTEST_SKIP() << input << " absent";
  testing::TempDir dir;
  GeometryStore store;
  testing::FakeDriver a, b;
  a.surface = b.surface = c.surface;
  ConversionRequest request{input, dir.File("out.hzm"), c.pitch};
  request.units = c.units;
  const ModelInfo info = InspectModel(store, request, a);
  const ConversionResult result = RunConversion(store, request, b);
  EXPECT_EQ(info.map_bytes, std::filesystem::file_size(request.output));
  EXPECT_EQ(info.triangles, result.triangles);
  EXPECT_EQ(info.format, result.format);
  EXPECT_EQ(info.lattice.columns, result.lattice.columns);
  EXPECT_EQ(info.lattice.rows, result.lattice.rows);
  EXPECT_FALSE(info.stopped);
  EXPECT_TRUE(std::filesystem::exists(request.output));
}

// Without a scan: a lower and an upper bound that bracket the size of the
// map written, and no scan phase.
TEST_P(InspectModelTest, BoundsWithoutAScanBracketTheSize) {
  const InfoCase& c = GetParam();
  const std::string input = ModelPath(c.model);
  if (!std::filesystem::exists(input)) GTEST_SKIP() << input << " absent";
  testing::TempDir dir;
  GeometryStore store;
  testing::FakeDriver a, b;
  a.surface = b.surface = c.surface;
  ConversionRequest request{input, dir.File("out.hzm"), c.pitch};
  request.units = c.units;
  const ModelInfo info = InspectModel(store, request, a, false);
  RunConversion(store, request, b);
  const auto size = std::filesystem::file_size(request.output);
  EXPECT_LE(info.map_bytes, size);
  EXPECT_GE(info.map_bytes_most, size);
  EXPECT_LE(info.map_bytes, info.map_bytes_most);
  ASSERT_EQ(a.phases.size(), 1u);  // the reading alone
  EXPECT_EQ(a.phases[0].first, RunPhase::kReading);
}

INSTANTIATE_TEST_SUITE_P(
    Models, InspectModelTest,
    ::testing::Values(InfoCase{"Worked", "worked_example.stl", 1, false},
                      InfoCase{"BinaryReliefFine", "golden:binary_relief.stl", 1, false},
                      InfoCase{"BinaryReliefSurface", "golden:binary_relief.stl", 10, true},
                      InfoCase{"BinaryReliefInInches", "golden:binary_relief.stl", 255, false,
                               1016},
                      InfoCase{"Cube", "corpus:numpy-stl-cube.stl", 3, false},
                      InfoCase{"NegativeZ", "corpus:trimesh-tray-bottom.stl", 40, true},
                      InfoCase{"FlangeInMetres", "corpus:openfoam-flange.stl", 20, false, 40000},
                      InfoCase{"Gears", "corpus:pyvista-gears.stl", 8, false}),
    [](const auto& info) { return info.param.name; });

TEST(InspectModelTest, WritesNothing) {
  testing::TempDir dir;
  GeometryStore store;
  testing::FakeDriver driver;
  const ModelInfo info =
      InspectModel(store, {testing::GoldenFile("binary_relief.stl"), dir.File("x.hzm"), 4}, driver);
  EXPECT_EQ(info.format, StlFormat::kBinary);
  EXPECT_EQ(info.triangles, 97);
  EXPECT_EQ(info.extent.min.x, -11);
  EXPECT_EQ(info.extent.max.z, 124);
  EXPECT_TRUE(testing::ListFolder(dir.path()).empty());
}

}  // namespace
}  // namespace pelmoro
