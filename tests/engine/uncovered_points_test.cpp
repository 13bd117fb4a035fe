// The points no triangle covers, as the outputs with NODATA leave them:
// against asking every triangle at every point the scan left at the floor.
#include "engine/scan/uncovered_points.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "engine/scan/coverage.h"
#include "engine/scan/height_map_scan.h"
#include "tests/support/fake_driver.h"
#include "tests/support/store_builder.h"

namespace pelmoro {
namespace {

// Checks every piece of a scan as it comes: the marks against every
// triangle asked at every floor point, and a covered point never marked.
class CheckingSink : public RowSink {
 public:
  CheckingSink(const GeometryStore& store, const Lattice& lattice, std::int32_t count)
      : store_(store), lattice_(lattice), count_(count), marks_(store, lattice, count) {}

  void WritePiece(const RowPiece& piece, std::span<const RowText>) override {
    marks_.Mark(piece, store_.bounds().z_min, uncovered_);
    ASSERT_EQ(uncovered_.size(), piece.heights.size());
    const auto y = static_cast<std::int32_t>(lattice_.Y(piece.row));
    for (std::size_t k = 0; k < piece.heights.size(); ++k) {
      const auto x = static_cast<std::int32_t>(lattice_.X(piece.first_column + k));
      bool covered = false;
      for (std::int32_t i = 0; i < count_ && !covered; ++i) {
        covered = TriangleCovers(store_, i, x, y);
      }
      if (uncovered_[k] != (covered ? 0 : 1)) ++wrong;
      if (!covered) ++uncovered;
    }
  }

  int wrong = 0;
  int uncovered = 0;

 private:
  const GeometryStore& store_;
  Lattice lattice_;
  std::int32_t count_;
  UncoveredPoints marks_;
  std::vector<std::uint8_t> uncovered_;
};

struct UncoveredCase {
  const char* label;
  std::vector<Triangle> triangles;
  int pitch;
  std::int64_t piece_columns;
  int uncovered;  // points no triangle covers
};

void PrintTo(const UncoveredCase& c, std::ostream* os) { *os << c.label; }

class UncoveredPointsTest : public ::testing::TestWithParam<UncoveredCase> {};

TEST_P(UncoveredPointsTest, MarksExactlyThePointsNoTriangleCovers) {
  const UncoveredCase& c = GetParam();
  GeometryStore store;
  const std::int32_t count = testing::FillStore(store, c.triangles);
  const Lattice lattice = LatticeOver(store.bounds(), c.pitch);
  CheckingSink sink(store, lattice, count);
  testing::FakeDriver driver;
  ScanOptions options;
  options.threads = 1;
  options.piece_columns = c.piece_columns;
  ScanHeightMap(store, lattice, count, driver, sink, options);
  EXPECT_EQ(sink.wrong, 0);
  EXPECT_EQ(sink.uncovered, c.uncovered);
}

// A right triangle with legs of 4 units at (10, 10), over a 15 x 15 lattice
// from the origin: it covers the 15 points x + y <= 24 with x, y >= 10.
const Triangle kCorner{{{10, 10, 5}, {14, 10, 5}, {10, 14, 5}}};
// The same lying at z = 0, the floor: covered points of the floor's height.
const Triangle kCornerAtFloor{{{10, 10, 0}, {14, 10, 0}, {10, 14, 0}}};
// Two triangles of a square from (2, 2) to (8, 8), the second below z = 0,
// so the floor is below zero and the square's points are above it.
const Triangle kSquareLow{{{2, 2, -3}, {8, 2, 1}, {8, 8, 1}}};
const Triangle kSquareHigh{{{2, 2, -3}, {8, 8, 1}, {2, 8, -3}}};

INSTANTIATE_TEST_SUITE_P(
    Models, UncoveredPointsTest,
    ::testing::Values(UncoveredCase{"Corner", {kCorner}, 1, 1 << 16, 225 - 15},
                      UncoveredCase{"CornerAtTheFloor", {kCornerAtFloor}, 1, 1 << 16, 225 - 15},
                      UncoveredCase{"CornerInPiecesOfThree", {kCornerAtFloor}, 1, 3, 225 - 15},
                      // Pitch 2: 8 x 8 points, of which (10..14, 10..14) with x + y <= 24
                      // are the 6 at (10,10) (12,10) (14,10) (10,12) (12,12) (10,14).
                      UncoveredCase{"CornerAtPitchTwo", {kCorner}, 2, 1 << 16, 64 - 6},
                      // The square's 49 points, one of its corners below the rest.
                      UncoveredCase{
                          "SquareBelowZero", {kSquareLow, kSquareHigh}, 1, 1 << 16, 81 - 49},
                      UncoveredCase{"Empty", {}, 1, 1 << 16, 1}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro
