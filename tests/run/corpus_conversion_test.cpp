// Every real STL file of the corpus converts, at two pitches and in both
// modes, into a height map of the right shape.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "run/conversion_run.h"
#include "tests/support/fake_driver.h"
#include "tests/support/mapped_file.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

// Takes the next CR LF line off text; false when there is none.
bool NextLine(std::string_view& text, std::string_view& line) {
  const std::size_t lf = text.find('\n');
  if (lf == std::string_view::npos || lf == 0 || text[lf - 1] != '\r') return false;
  line = text.substr(0, lf - 1);
  text.remove_prefix(lf + 1);
  return true;
}

// "x,y,z": three decimal integers and nothing else.
bool ParsePoint(std::string_view line, long long v[3]) {
  const char* p = line.data();
  const char* end = line.data() + line.size();
  for (int k = 0; k < 3; ++k) {
    if (p == end || (*p != '-' && (*p < '0' || *p > '9'))) return false;
    const auto [next, error] = std::from_chars(p, end, v[k]);
    if (error != std::errc()) return false;
    p = next;
    if (k < 2) {
      if (p == end || *p != ',') return false;
      ++p;
    }
  }
  return p == end;
}

// Header, rows of `columns` points on the lattice each closed by "S",
// nothing after the last row, no height below z min.
::testing::AssertionResult HasTheShape(std::string_view text, const ModelBounds& b, int pitch,
                                       const ConversionResult& result) {
  std::string_view line;
  for (const char* header : {"VERSION=6", "T", "O", "O", "L", "1", "S"}) {
    if (!NextLine(text, line) || line != header)
      return ::testing::AssertionFailure() << "header " << line;
  }
  long long v[3];
  for (long long row = 0; row < result.lattice.rows; ++row) {
    for (long long column = 0; column < result.lattice.columns; ++column) {
      if (!NextLine(text, line) || !ParsePoint(line, v) || v[0] != b.x_min + column * pitch ||
          v[1] != b.y_min + row * pitch || v[2] < b.z_min) {
        return ::testing::AssertionFailure()
               << "row " << row << " point " << column << ": " << line;
      }
    }
    if (!NextLine(text, line) || line != "S")
      return ::testing::AssertionFailure() << "row end " << line;
  }
  if (!text.empty())
    return ::testing::AssertionFailure() << text.size() << " bytes after the last row";
  return ::testing::AssertionSuccess();
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// Under a sanitizer, lattices of millions of points take minutes; the normal
// build checks them.
constexpr long long kLargestLattice = 2'000'000;
#else
constexpr long long kLargestLattice = 1'000'000'000;
#endif

TEST(CorpusConversionTest, EveryFileAtTwoPitchesInBothModes) {
  const auto files = testing::CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "corpus folder absent";
  testing::TempDir dir(testing::ScratchBase());
  GeometryStore store;
  for (const auto& file : files) {
    // 1 mm first: its bounds tell the size of the 0.1 mm lattice.
    for (int pitch : {40, 4}) {
      if (pitch == 4 && LatticeOver(store.bounds(), 4).points() > kLargestLattice) {
        continue;
      }
      for (bool surface : {false, true}) {
        testing::FakeDriver driver;
        driver.surface = surface;
        const std::string output = dir.File("out.hzm");
        const ConversionResult result =
            RunConversion(store, {file.string(), output, pitch}, driver);
        EXPECT_EQ(result.outcome, RunOutcome::kComplete);
        EXPECT_TRUE(HasTheShape(testing::MappedFile(output).bytes(), store.bounds(), pitch, result))
            << file.filename() << " pitch " << pitch << " surface " << surface;
        std::remove(output.c_str());
      }
    }
  }
}

}  // namespace
}  // namespace pelmoro
