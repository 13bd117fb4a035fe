// A scan of a window of the lattice gives, at every point of the window,
// the very height the scan of the whole lattice gives there; points beyond
// the model are z min.
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "engine/scan/height_map_scan.h"
#include "tests/support/fake_driver.h"
#include "tests/support/store_builder.h"

namespace pelmoro {
namespace {

using Heights = std::map<std::pair<std::int64_t, std::int64_t>, std::int32_t>;

// Every point's height by its x and y.
class PointSink : public RowSink {
 public:
  explicit PointSink(const Lattice& lattice) : lattice_(lattice) {}
  void WritePiece(const RowPiece& piece, std::span<const RowText>) override {
    for (std::size_t k = 0; k < piece.heights.size(); ++k) {
      heights[{lattice_.X(piece.first_column + static_cast<std::int64_t>(k)),
               lattice_.Y(piece.row)}] = piece.heights[k];
    }
  }
  Heights heights;

 private:
  Lattice lattice_;
};

Heights Scan(const GeometryStore& store, std::int32_t count, const Lattice& lattice,
             const ScanOptions& options) {
  PointSink sink(lattice);
  testing::FakeDriver driver;
  ScanHeightMap(store, lattice, count, driver, sink, options);
  return sink.heights;
}

struct WindowCase {
  const char* label;
  // The window in lattice steps from the whole lattice's first point:
  // first column and row, columns and rows.
  std::int64_t column, row, columns, rows;
  int threads;
  std::int64_t piece_columns;
};

void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.label; }

class WindowScanTest : public ::testing::TestWithParam<WindowCase> {};

// A relief of small and large triangles, some reaching below z = 0, over
// 0..60 x 0..40 grid units.
std::vector<Triangle> Relief() {
  std::vector<Triangle> t;
  for (int i = 0; i < 6; ++i) {
    for (int j = 0; j < 4; ++j) {
      const int x = i * 10, y = j * 10, z = (i * 7 + j * 5) % 11 - 3;
      t.push_back({{{x, y, z}, {x + 10, y, z + 2}, {x + 10, y + 10, z + 4}}});
      t.push_back({{{x, y, z}, {x + 10, y + 10, z + 4}, {x, y + 10, z + 1}}});
    }
  }
  t.push_back({{{5, 5, 30}, {55, 8, 25}, {30, 37, 40}}});  // one large one above them
  return t;
}

TEST_P(WindowScanTest, GivesTheWholeLatticesHeightsAtItsPoints) {
  const WindowCase& c = GetParam();
  GeometryStore store;
  const std::int32_t count = testing::FillStore(store, Relief());
  const Lattice whole = LatticeOver(store.bounds(), 3);
  Lattice window = whole;
  window.x_min = static_cast<std::int32_t>(whole.X(c.column));
  window.y_min = static_cast<std::int32_t>(whole.Y(c.row));
  window.columns = c.columns;
  window.rows = c.rows;
  window.y_max = static_cast<std::int32_t>(window.Y(c.rows - 1));
  ScanOptions options;
  options.threads = c.threads;
  options.piece_columns = c.piece_columns;
  const Heights all = Scan(store, count, whole, options);
  const Heights part = Scan(store, count, window, options);
  ASSERT_EQ(part.size(), static_cast<std::size_t>(c.columns * c.rows));
  int wrong = 0, beyond = 0;
  for (const auto& [point, z] : part) {
    const auto it = all.find(point);
    if (it == all.end()) {
      ++beyond;
      if (z != store.bounds().z_min) ++wrong;
    } else if (it->second != z) {
      ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
  const bool inside = c.column >= 0 && c.row >= 0 && c.column + c.columns <= whole.columns &&
                      c.row + c.rows <= whole.rows;
  EXPECT_EQ(beyond == 0, inside);
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowScanTest,
                         ::testing::Values(WindowCase{"Whole", 0, 0, 21, 14, 1, 1 << 16},
                                           WindowCase{"Middle", 4, 3, 9, 6, 1, 1 << 16},
                                           WindowCase{"MiddleOnThreeThreads", 4, 3, 9, 6, 3,
                                                      1 << 16},
                                           WindowCase{"MiddleInPieces", 4, 3, 9, 6, 3, 4},
                                           WindowCase{"UpperRight", 12, 8, 9, 6, 1, 1 << 16},
                                           WindowCase{"OneRowOneColumn", 7, 5, 1, 1, 1, 1 << 16},
                                           WindowCase{"Beyond", -3, -2, 30, 20, 3, 1 << 16},
                                           WindowCase{"AllBeyond", 30, 30, 4, 3, 1, 1 << 16}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro
