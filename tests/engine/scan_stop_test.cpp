// Stops in the middle of a row: the scan obeys them within a few thousand
// points, whatever the width of the row, and the sink is left with whole
// rows only, the same as a complete scan's first rows.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

#include "engine/scan/height_map_scan.h"
#include "engine/scan/lattice.h"
#include "tests/support/fake_driver.h"
#include "tests/support/recording_sink.h"
#include "tests/support/store_builder.h"

namespace pelmoro {
namespace {

using testing::FakeDriver;
using testing::FillStore;
using testing::RecordingSink;

// One flat triangle across 40,001 columns at pitch 1: its first row is 5
// pieces of 10,000 columns (the last of one), the sweep looking at each
// after 8,192 points, the plain scan after 4,096 (2 steps a point).
const Triangle kWide{{{0, 0, 5}, {40000, 0, 7}, {0, 20, 9}}};
constexpr std::int64_t kPieceColumns = 10000;

// Asks to stop at its n-th WhileWaiting.
struct StopAtWait : FakeDriver {
  int stop_at = 0;
  void WhileWaiting() override {
    if (++waits == stop_at) stop = true;
  }
};

struct StopCase {
  const char* label;
  int threads;
  bool reference;
  int stop_at;  // the WhileWaiting that asks to stop
  // On one thread, where the stop falls is known: the whole rows kept and
  // whether pieces of the next one had gone to the sink. -1: not known.
  int rows = -1;
  int partial_drops = -1;
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.label; }

class ScanStopTest : public ::testing::TestWithParam<StopCase> {};

TEST_P(ScanStopTest, StopsInsideTheRowAndKeepsWholeRows) {
  GeometryStore store;
  const std::int32_t count = FillStore(store, {kWide});
  const Lattice lattice = LatticeOver(store.bounds(), 1);
  ASSERT_EQ(lattice.columns, 40001);
  ScanOptions options{.threads = GetParam().threads,
                      .reference = GetParam().reference,
                      .piece_columns = kPieceColumns,
                      .poll_interval = std::chrono::milliseconds(0)};
  FakeDriver full_driver;
  RecordingSink full;
  ScanHeightMap(store, lattice, count, full_driver, full, options);
  ASSERT_EQ(full.rows.size(), static_cast<std::size_t>(lattice.rows));

  StopAtWait driver;
  driver.stop_at = GetParam().stop_at;
  RecordingSink sink;
  ScanHeightMap(store, lattice, count, driver, sink, options);
  ASSERT_TRUE(driver.stop);
  // Obeyed within the row, not at some later row's end.
  EXPECT_LT(sink.rows.size(), full.rows.size());
  if (GetParam().rows >= 0) {
    EXPECT_EQ(sink.rows.size(), static_cast<std::size_t>(GetParam().rows));
    EXPECT_EQ(sink.partial_rows_dropped, GetParam().partial_drops);
  }
  // Whole rows, each the complete scan's, and nothing of the next.
  EXPECT_EQ(sink.out_of_place, 0);
  EXPECT_EQ(sink.heights, full.heights.substr(0, sink.heights.size()));
  const std::size_t row_bytes = sizeof(std::int64_t) + 40001 * sizeof(std::int32_t);
  EXPECT_EQ(sink.heights.size(), sink.rows.size() * row_bytes);
  for (std::size_t r = 0; r < sink.rows.size(); ++r) EXPECT_EQ(sink.rows[r], full.rows[r]) << r;
  EXPECT_EQ(driver.progress.back(), 0);
  EXPECT_EQ(driver.steps.back(), static_cast<std::int64_t>(sink.rows.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Stops, ScanStopTest,
    ::testing::Values(
        // The first look, 8,192 points into the first piece: nothing taken.
        StopCase{"InFirstPiece", 1, false, 1, 0, 0},
        // The second, 8,192 points into the second piece: the first piece
        // had gone to the sink and is dropped.
        StopCase{"InSecondPiece", 1, false, 2, 0, 1},
        // Two looks in the first piece, the third in the second.
        StopCase{"Reference", 1, true, 3, 0, 1}, StopCase{"InALaterRow", 1, false, 12},
        StopCase{"ReferenceLater", 1, true, 20}, StopCase{"TwoThreads", 2, false, 3},
        StopCase{"ThreeThreadsLater", 3, false, 40}, StopCase{"EightThreads", 8, false, 2}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro
