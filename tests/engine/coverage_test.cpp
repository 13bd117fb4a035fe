#include "engine/scan/coverage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/triangle_metrics.h"
#include "tests/support/store_builder.h"

namespace pelmoro {
namespace {

using testing::FillStore;

const Triangle kSmall{{{4, 84, 40}, {84, 4, 40}, {4, 4, 40}}};
const Triangle kLongEdges{{{407, 1603, 0}, {1207, 403, 0}, {7, 3, 0}}};

struct CoverCase {
  std::string name;
  Triangle triangle;
  std::int32_t x, y;
  bool covered;
};

class TriangleCoversTest : public ::testing::TestWithParam<CoverCase> {};

TEST_P(TriangleCoversTest, AreaSumDecides) {
  GeometryStore store;
  FillStore(store, {GetParam().triangle});
  EXPECT_EQ(TriangleCovers(store, 0, GetParam().x, GetParam().y), GetParam().covered);
}

INSTANTIATE_TEST_SUITE_P(
    SmallTriangle, TriangleCoversTest,
    ::testing::Values(CoverCase{"Inside", kSmall, 40, 40, true},
                      CoverCase{"InsideBoxOutsideTriangle", kSmall, 80, 40, false},
                      CoverCase{"LeftOfAllVertices", kSmall, 0, 40, false},
                      CoverCase{"BelowLowestVertex", kSmall, 40, 0, false},
                      CoverCase{"AboveHighestVertex", kSmall, 10, 85, false},
                      CoverCase{"Vertex0", kSmall, 4, 84, true},
                      CoverCase{"Vertex1", kSmall, 84, 4, true},
                      CoverCase{"Vertex2", kSmall, 4, 4, true},
                      CoverCase{"OnHypotenuse", kSmall, 44, 44, true},
                      CoverCase{"OnBottomEdge", kSmall, 24, 4, true},
                      CoverCase{"OnLeftEdge", kSmall, 4, 24, true},
                      CoverCase{"JustOutsideHypotenuse", kSmall, 45, 44, false}),
    [](const auto& info) { return info.param.name; });

// Heron's rounding on the degenerate sub-triangle of a long edge decides
// these, in extended precision; stored height maps depend on it.
INSTANTIATE_TEST_SUITE_P(LongEdgePrecision, TriangleCoversTest,
                         ::testing::Values(CoverCase{"EdgePoint10_4", kLongEdges, 10, 4, true},
                                           CoverCase{"EdgePoint13_5", kLongEdges, 13, 5, true},
                                           CoverCase{"EdgePoint166_56", kLongEdges, 166, 56, false},
                                           CoverCase{"EdgePoint175_59", kLongEdges, 175, 59, false},
                                           CoverCase{"EdgePoint184_62", kLongEdges, 184, 62, false},
                                           CoverCase{"Centroid", kLongEdges, 540, 670, true}),
                         [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    ZeroAreaKey, TriangleCoversTest,
    ::testing::Values(
        CoverCase{"WallOwnVertex", Triangle{{{0, 5, 0}, {7, 5, 9}, {3, 5, 4}}}, 3, 5, false},
        CoverCase{"WallMidEdge", Triangle{{{2, 0, 0}, {2, 9, 1}, {2, 4, 2}}}, 2, 2, false},
        CoverCase{"SharedPlanPosition", Triangle{{{1, 1, 0}, {1, 1, 9}, {5, 4, 0}}}, 1, 1, false}),
    [](const auto& info) { return info.param.name; });

struct HeightCase {
  std::string name;
  Triangle triangle;
  std::int32_t x, y;
  std::int32_t height;
};

class TriangleHeightAtTest : public ::testing::TestWithParam<HeightCase> {};

TEST_P(TriangleHeightAtTest, PlaneThroughVertex1TruncatedTowardZero) {
  GeometryStore store;
  FillStore(store, {GetParam().triangle});
  EXPECT_EQ(TriangleHeightAt(store, 0, GetParam().x, GetParam().y), GetParam().height);
}

INSTANTIATE_TEST_SUITE_P(
    Planes, TriangleHeightAtTest,
    ::testing::Values(
        HeightCase{"Flat", kSmall, 40, 40, 40},
        // The plane gives 1.5 here and -1.5 with z1 = -5.
        HeightCase{"PositiveHalfTruncates", Triangle{{{0, 10, 0}, {10, 0, 5}, {0, 0, 0}}}, 3, 2, 1},
        HeightCase{"NegativeHalfTruncatesUp", Triangle{{{0, 10, 0}, {10, 0, -5}, {0, 0, 0}}}, 3, 2,
                   -1},
        HeightCase{"ZeroDeterminantGivesZero", Triangle{{{2, 0, 50}, {2, 9, 60}, {2, 4, 70}}}, 2, 2,
                   0},
        HeightCase{"Slope", Triangle{{{0, 100, 100}, {100, 0, 0}, {0, 0, 0}}}, 20, 30, 30},
        HeightCase{"BelowZero", Triangle{{{0, 100, -400}, {100, 0, -400}, {0, 0, -400}}}, 10, 10,
                   -400},
        // Spans far beyond the 32-bit products (W * H * Z > 2^31): exact in
        // wide integers.
        HeightCase{"LargeModelExact", Triangle{{{0, 2000000, 0}, {2000000, 0, 0}, {0, 0, 2000000}}},
                   500000, 500000, 1000000},
        HeightCase{"HugeModelWide", Triangle{{{0, 1 << 30, 0}, {1 << 30, 0, 0}, {0, 0, 1 << 30}}},
                   1 << 28, 1 << 28, 1 << 29}),
    [](const auto& info) { return info.param.name; });

TEST(TriangleCoversTest, ManyTrianglesIndexedByRow) {
  GeometryStore store;
  FillStore(store, {kLongEdges, kSmall});
  EXPECT_TRUE(TriangleCovers(store, 1, 4, 84));
  EXPECT_FALSE(TriangleCovers(store, 0, 4, 84));
  EXPECT_EQ(TriangleHeightAt(store, 1, 40, 40), 40);
}

}  // namespace
}  // namespace pelmoro
