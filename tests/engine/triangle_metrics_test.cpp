#include "engine/triangle_metrics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/real.h"

namespace pelmoro {
namespace {

Triangle Make(Vertex a, Vertex b, Vertex c) { return Triangle{{a, b, c}}; }

struct OrderCase {
  std::string name;
  Triangle in;
  Triangle expected;
};

class OrderTriangleVerticesTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(OrderTriangleVerticesTest, OrdersByYLargestFirst) {
  Triangle t = GetParam().in;
  OrderTriangleVertices(t);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(t.v[k].x, GetParam().expected.v[k].x) << "vertex " << k;
    EXPECT_EQ(t.v[k].y, GetParam().expected.v[k].y) << "vertex " << k;
    EXPECT_EQ(t.v[k].z, GetParam().expected.v[k].z) << "vertex " << k;
  }
}

// Vertices are told apart by x (A = 1, B = 2, C = 3) and z (10 * x).
INSTANTIATE_TEST_SUITE_P(
    Ties, OrderTriangleVerticesTest,
    ::testing::Values(
        // A, B, C with y = 1, 1, 2 end as C, B, A: the order is not stable.
        OrderCase{"EqualPairBelowTop", Make({1, 1, 10}, {2, 1, 20}, {3, 2, 30}),
                  Make({3, 2, 30}, {2, 1, 20}, {1, 1, 10})},
        OrderCase{"AllEqualKeepFileOrder", Make({1, 5, 10}, {2, 5, 20}, {3, 5, 30}),
                  Make({1, 5, 10}, {2, 5, 20}, {3, 5, 30})},
        OrderCase{"Ascending", Make({1, 0, 10}, {2, 4, 20}, {3, 9, 30}),
                  Make({3, 9, 30}, {2, 4, 20}, {1, 0, 10})},
        OrderCase{"AlreadyOrdered", Make({1, 9, 10}, {2, 4, 20}, {3, 0, 30}),
                  Make({1, 9, 10}, {2, 4, 20}, {3, 0, 30})},
        OrderCase{"MiddleFirst", Make({1, 4, 10}, {2, 9, 20}, {3, 0, 30}),
                  Make({2, 9, 20}, {1, 4, 10}, {3, 0, 30})},
        OrderCase{"EqualTopPair", Make({1, 2, 10}, {2, 1, 20}, {3, 2, 30}),
                  Make({1, 2, 10}, {3, 2, 30}, {2, 1, 20})},
        OrderCase{"Negative", Make({1, -5, 10}, {2, -1, 20}, {3, -9, 30}),
                  Make({2, -1, 20}, {1, -5, 10}, {3, -9, 30})}),
    [](const auto& info) { return info.param.name; });

struct MetricsCase {
  std::string name;
  Triangle ordered;
  double edge0, edge1, edge2, key;
};

class ComputeTriangleMetricsTest : public ::testing::TestWithParam<MetricsCase> {};

TEST_P(ComputeTriangleMetricsTest, EdgesAndAreaKey) {
  const MetricsCase& c = GetParam();
  Triangle t = c.ordered;
  OrderTriangleVertices(t);
  const TriangleMetrics m = ComputeTriangleMetrics(t);
  EXPECT_EQ(m.edge[0], c.edge0);
  EXPECT_EQ(m.edge[1], c.edge1);
  EXPECT_EQ(m.edge[2], c.edge2);
  EXPECT_EQ(m.area_key, c.key);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ComputeTriangleMetricsTest,
    ::testing::Values(
        // (0,0), (3,0), (0,4) in file order are stored as (0,4), (3,0), (0,0).
        MetricsCase{"RightTriangle345", Make({0, 0, 0}, {3, 0, 0}, {0, 4, 0}), 5, 3, 4, 6000},
        MetricsCase{"CoverageExample", Make({4, 84, 40}, {84, 4, 40}, {4, 4, 40}),
                    std::sqrt(12800.0), 80, 80, 3200000},
        MetricsCase{"LongEdgeExample", Make({407, 1603, 0}, {1207, 403, 0}, {7, 3, 0}),
                    std::sqrt(2080000.0), std::sqrt(1600000.0), std::sqrt(2720000.0), 880000000},
        // Collinear on a slanted line: Heron's rounding leaves a small key.
        MetricsCase{"SlantedLineKeepsSmallKey", Make({959, 1096, 0}, {693, 792, 0}, {0, 0, 0}),
                    std::sqrt(266.0 * 266 + 304.0 * 304), std::sqrt(693.0 * 693 + 792.0 * 792),
                    std::sqrt(959.0 * 959 + 1096.0 * 1096), 12},
        MetricsCase{"WallParallelToX", Make({0, 5, 0}, {7, 5, 9}, {3, 5, 4}), 7, 4, 3, 0},
        MetricsCase{"WallParallelToY", Make({2, 0, 0}, {2, 9, 1}, {2, 4, 2}), 5, 4, 9, 0},
        MetricsCase{"TwoVerticesShareAPlanPosition", Make({1, 1, 0}, {1, 1, 9}, {5, 4, 0}), 5, 0, 5,
                    0}),
    [](const auto& info) { return info.param.name; });

TEST(PlanDistanceTest, ExactBeyondThirtyTwoBitSquares) {
  // 46341^2 * 2 no longer fits 32 bits; the length stays exact.
  EXPECT_EQ(PlanDistance(46341, 0), 46341.0);
  EXPECT_EQ(PlanDistance(3000000, 4000000), 5000000.0);
  // Differences beyond 2^31 take the 128-bit path.
  EXPECT_EQ(PlanDistance(3LL << 31, 4LL << 31), static_cast<double>(5LL << 31));
  EXPECT_EQ(PlanDistance(-(3LL << 31), 4LL << 31), static_cast<double>(5LL << 31));
}

TEST(TriangleAreaTest, DegenerateAndArgumentOrder) {
  EXPECT_EQ(TriangleArea(5, 3, 4), 6.0);
  EXPECT_EQ(TriangleArea(0, 0, 0), 0.0);
  // A "triangle" whose sides do not close takes |q| instead of failing.
  EXPECT_GT(TriangleArea(1, 1, 3), 0.0);
  EXPECT_EQ(TriangleArea(2, 1, 1), 0.0);
}

TEST(AreaKeyTest, RoundsHalfUpToThousandths) {
  EXPECT_EQ(AreaKey(6.0), 6000.0);
  EXPECT_EQ(AreaKey(0.0004), 0.0);
  EXPECT_EQ(AreaKey(0.0005), 1.0);
  EXPECT_EQ(AreaKey(1.2344999), 1234.0);
  // Keys on both sides of 2^31 and far beyond, against the definition.
  for (const Real area : {2147483.6465L, 2147483.6464L, 2147483.647L, 2147483.6475L, 4.2e9L, 1e15L,
                          1234567890.1234567L}) {
    EXPECT_EQ(AreaKey(area), static_cast<double>(std::trunc(area * 1000 + 0.5L))) << area;
  }
}

// The metrics of a run taken together against each triangle's own: runs
// of every length around the steps' blocks, of small, large (the 128-bit
// lengths) and huge (keys beyond 2^31) triangles mixed.
TEST(ComputeTriangleMetricsTest, TakenTogetherAsOneByOne) {
  std::mt19937_64 random(5);
  std::vector<Triangle> triangles(300);
  for (std::size_t i = 0; i < triangles.size(); ++i) {
    const std::int64_t reach = i % 3 == 0 ? 4000 : i % 3 == 1 ? 3000000 : 2147483647;
    std::uniform_int_distribution<std::int64_t> coordinate(-reach, reach);
    for (Vertex& v : triangles[i].v) {
      v = {static_cast<std::int32_t>(coordinate(random)),
           static_cast<std::int32_t>(coordinate(random)), static_cast<std::int32_t>(i)};
    }
    OrderTriangleVertices(triangles[i]);
  }
  for (const std::size_t n : {0, 1, 63, 64, 65, 129, 300}) {
    std::vector<TriangleMetrics> together(n);
    ComputeTriangleMetrics(triangles.data(), together.data(), n);
    for (std::size_t i = 0; i < n; ++i) {
      const TriangleMetrics one = ComputeTriangleMetrics(triangles[i]);
      ASSERT_EQ(0, std::memcmp(&one, &together[i], sizeof one)) << "triangle " << i << " of " << n;
    }
  }
}

}  // namespace
}  // namespace pelmoro
