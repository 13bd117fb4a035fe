// Every real STL file of the corpus, copied to binary and to an ASCII twin
// of exactly the same float32 numbers (tools/stl_float32_pair.py), gives the
// same height map from both, in both modes, with one and with all threads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "engine/read/stl_model_reader.h"
#include "run/conversion_run.h"
#include "tests/support/fake_driver.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

// Points of the lattice a test conversion may have (keeps the test short).
constexpr double kLatticeBudget = 150'000;

// The pitch (grid units) that keeps the model's lattice within the budget.
int PitchFor(const std::string& model) {
  GeometryStore store;
  testing::FakeDriver driver;
  store.ResetBounds();
  ReadStlModel(store, model, driver);
  const double area = static_cast<double>(LatticeOver(store.bounds(), 1).points());
  const int pitch = static_cast<int>(std::ceil(std::sqrt(area / kLatticeBudget)));
  return std::min(255, std::max(4, pitch));
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

TEST(CorpusBinaryTest, BinaryCopyGivesTheMapOfItsAsciiTwin) {
  const auto files = testing::CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "corpus folder absent";
  if (std::system("python3 -c '' 2>/dev/null") != 0) GTEST_SKIP() << "python3 absent";
  testing::TempDir dir(testing::ScratchBase());
  const std::string ascii = dir.File("twin.stl"), binary = dir.File("copy.stl");
  GeometryStore store;
  for (const auto& file : files) {
    const std::string command = "python3 " + Quoted(PELMORO_TOOLS_DIR "/stl_float32_pair.py") +
                                " " + Quoted(file.string()) + " " + Quoted(ascii) + " " +
                                Quoted(binary);
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const int pitch = PitchFor(ascii);
    for (bool surface : {false, true}) {
      for (int threads : {1, 0}) {
        testing::FakeDriver a, b;
        a.surface = b.surface = surface;
        const ConversionResult from_ascii =
            RunConversion(store, {ascii, dir.File("a.hzm"), pitch, ScanOptions{threads}}, a);
        const ConversionResult from_binary =
            RunConversion(store, {binary, dir.File("b.hzm"), pitch, ScanOptions{threads}}, b);
        EXPECT_EQ(from_binary.format, StlFormat::kBinary);
        EXPECT_EQ(from_binary.triangles, from_ascii.triangles) << file.filename();
        EXPECT_TRUE(testing::ReadFileBytes(dir.File("a.hzm")) ==
                    testing::ReadFileBytes(dir.File("b.hzm")))
            << file.filename() << " pitch " << pitch << " surface " << surface << " threads "
            << threads;
      }
    }
  }
}

}  // namespace
}  // namespace pelmoro
