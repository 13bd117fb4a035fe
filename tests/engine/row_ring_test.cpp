#include "engine/scan/row_ring.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/scan/scan_plan.h"
#include "tests/support/store_builder.h"

namespace pelmoro {
namespace {

using testing::FillStore;

// A lattice `columns` wide (pitch 1, one triangle from x = 0), its rows
// computed whole or in pieces, and the ring its sweep keeps: up to 64 rows
// within 2 MB a ring, none below 8 rows or for rows in pieces.
struct RingCase {
  std::string name;
  std::int64_t columns;
  std::int64_t piece_columns;
  std::int64_t ring_rows;
};

class RowRingBudgetTest : public ::testing::TestWithParam<RingCase> {};

TEST_P(RowRingBudgetTest, TheEstimateIsWhatTheRingHolds) {
  const RingCase& c = GetParam();
  const auto x_max = static_cast<std::int32_t>(c.columns - 1);
  GeometryStore store;
  const std::int32_t count = FillStore(store, {Triangle{{{0, 0, 5}, {x_max, 0, 5}, {0, 3, 5}}}});
  const ScanPlan plan(store, LatticeOver(store.bounds(), 1), count, c.piece_columns);
  ASSERT_EQ(plan.lattice.columns, c.columns);
  const RowRing ring(plan);
  EXPECT_EQ(ring.rows(), c.ring_rows);
  const std::int64_t one_ring = c.ring_rows * c.columns * std::int64_t{sizeof(std::int32_t)};
  // What the pipeline budgets for a sweep covers its rings: seeking the
  // first covering triangle a sweep keeps the indices as well.
  EXPECT_LE(one_ring, RowRing::BudgetFor(SweepMode::kHighest));
  EXPECT_LE(2 * one_ring, RowRing::BudgetFor(SweepMode::kFirstCovering));
}

INSTANTIATE_TEST_SUITE_P(Widths, RowRingBudgetTest,
                         ::testing::Values(RingCase{"Narrow", 101, 1 << 20, 64},
                                           RingCase{"WidestOf64Rows", 8192, 1 << 20, 64},
                                           RingCase{"OneMoreHalves", 8193, 1 << 20, 32},
                                           RingCase{"WidestOf8Rows", 65536, 1 << 20, 8},
                                           RingCase{"TooWideForAny", 65537, 1 << 20, 0},
                                           RingCase{"RowsInPieces", 101, 50, 0}),
                         [](const ::testing::TestParamInfo<RingCase>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace pelmoro
