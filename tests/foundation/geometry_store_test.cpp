#include "foundation/geometry_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelmoro {
namespace {

bool RowIsZero(const GeometryStore& s, std::size_t i) {
  const Triangle& t = s.triangle(i);
  const TriangleMetrics& m = s.metrics(i);
  for (const Vertex& v : t.v) {
    if (v.x != 0 || v.y != 0 || v.z != 0) return false;
  }
  return m.edge[0] == 0 && m.edge[1] == 0 && m.edge[2] == 0 && m.area_key == 0;
}

void MarkRow(GeometryStore& s, std::size_t i, int value) {
  s.triangle(i).v[0] = {value, value, value};
  s.triangle(i).v[2].z = value;
  s.metrics(i).area_key = value;
}

// Capacity changes: rows up to the smaller count are kept, new rows are
// zero, also when they lie where an earlier, longer table had rows.
struct CapacityCase {
  std::string name;
  std::vector<std::size_t> sizes;  // SetCapacity calls after filling every row once
};

class SetCapacityTest : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(SetCapacityTest, KeepsOldRowsAndZeroesNewOnes) {
  GeometryStore s;
  std::size_t kept = 0;
  bool first = true;
  for (std::size_t size : GetParam().sizes) {
    s.SetCapacity(size);
    ASSERT_EQ(s.capacity(), size);
    const std::size_t survivors = first ? 0 : std::min(kept, size);
    for (std::size_t i = 0; i < size; ++i) {
      if (i < survivors) {
        EXPECT_EQ(s.triangle(i).v[0].x, static_cast<int>(i) + 1) << "row " << i;
        EXPECT_EQ(s.metrics(i).area_key, static_cast<double>(i) + 1) << "row " << i;
      } else {
        EXPECT_TRUE(RowIsZero(s, i)) << "row " << i << " of " << size;
      }
    }
    for (std::size_t i = survivors; i < size; ++i) MarkRow(s, i, static_cast<int>(i) + 1);
    kept = size;
    first = false;
  }
}

INSTANTIATE_TEST_SUITE_P(Sequences, SetCapacityTest,
                         ::testing::Values(CapacityCase{"Grow", {3, 10, 5000}},
                                           CapacityCase{"ShrinkThenGrowWithinAPage", {100, 7, 100}},
                                           CapacityCase{"ShrinkToZeroAndBack", {50, 0, 50}},
                                           CapacityCase{"LargeTables", {300000, 200000, 400000}},
                                           CapacityCase{"Same", {12, 12}}),
                         [](const auto& info) { return info.param.name; });

TEST(GeometryStoreTest, EnsureRowGrowsAndKeepsRows) {
  GeometryStore s;
  s.SetCapacity(0);
  for (std::size_t i = 0; i < 100000; ++i) {
    s.EnsureRow(i);
    MarkRow(s, i, static_cast<int>(i));
  }
  EXPECT_GE(s.capacity(), 100000u);
  for (std::size_t i = 0; i < 100000; i += 997)
    EXPECT_EQ(s.triangle(i).v[2].z, static_cast<int>(i));
  EXPECT_TRUE(RowIsZero(s, s.capacity() - 1) || s.capacity() == 100000u);
}

// x and y pairs are chained tests, z keeps only a minimum; the origin is
// always inside.
TEST(GeometryStoreTest, WidenBounds) {
  GeometryStore s;
  s.ResetBounds();
  for (Vertex v : {Vertex{5, -3, 7}, Vertex{-2, 9, -4}, Vertex{1, 1, 1}}) s.WidenBounds(v);
  EXPECT_EQ(s.bounds().x_min, -2);
  EXPECT_EQ(s.bounds().x_max, 5);
  EXPECT_EQ(s.bounds().y_min, -3);
  EXPECT_EQ(s.bounds().y_max, 9);
  EXPECT_EQ(s.bounds().z_min, -4);
  s.ResetBounds();
  s.WidenBounds({10, 20, 30});
  EXPECT_EQ(s.bounds().x_min, 0);
  EXPECT_EQ(s.bounds().y_min, 0);
  EXPECT_EQ(s.bounds().z_min, 0);
}

}  // namespace
}  // namespace pelmoro
