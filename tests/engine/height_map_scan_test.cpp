#include "engine/scan/height_map_scan.h"

#include <gtest/gtest.h>

#include <climits>
#include <condition_variable>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "engine/scan/lattice.h"
#include "engine/triangle_metrics.h"
#include "tests/support/fake_driver.h"
#include "tests/support/recording_sink.h"
#include "tests/support/store_builder.h"

namespace pelmoro {
namespace {

using testing::FakeDriver;
using testing::FillStore;
using testing::RecordingSink;

const Triangle kWorked{{{4, 4, 40}, {84, 4, 40}, {4, 84, 40}}};

TEST(ScanHeightMapTest, WorkedExampleRows) {
  GeometryStore store;
  FillStore(store, {kWorked});
  FakeDriver driver;
  RecordingSink sink;
  ScanHeightMap(store, LatticeOver(store.bounds(), 40), 1, driver, sink);
  EXPECT_EQ(sink.rows, (std::vector<std::string>{"0,0,0 40,0,0 80,0,0", "0,40,0 40,40,40 80,40,0",
                                                 "0,80,0 40,80,0 80,80,0"}));
  // y / y max * 100 after each row (40, 80, 120 over 84), then back to 0.
  EXPECT_EQ(driver.progress, (std::vector<int>{47, 95, 142, 0}));
  EXPECT_EQ(driver.steps, (std::vector<std::int64_t>{1, 2, 3, 3}));
  EXPECT_EQ(driver.passes, 3);
}

// Two triangles over the same square, the first at plane height 40 and the
// second at 80, in both storage orders, both modes and from both sides.
struct SurfaceCase {
  std::string name;
  bool low_first;
  bool surface;
  std::int32_t expected;
  ScanSide side = ScanSide::kTop;
  std::int32_t uncovered = 0;  // the point (100, 100): z min, or z max from below
};

class SurfaceModeTest : public ::testing::TestWithParam<SurfaceCase> {};

TEST_P(SurfaceModeTest, HighestOrFirstCovering) {
  const Triangle low{{{0, 0, 40}, {100, 0, 40}, {0, 100, 40}}};
  const Triangle high{{{0, 0, 80}, {100, 0, 80}, {0, 100, 80}}};
  GeometryStore store;
  FillStore(store, GetParam().low_first ? std::vector<Triangle>{low, high}
                                        : std::vector<Triangle>{high, low});
  FakeDriver driver;
  driver.surface = GetParam().surface;
  ScanOptions options;
  options.side = GetParam().side;
  const std::string expected = std::to_string(GetParam().expected);
  const std::string row1 = "0,100," + expected + " 100,100," + std::to_string(GetParam().uncovered);
  for (bool reference : {false, true}) {
    options.reference = reference;
    RecordingSink sink;
    ScanHeightMap(store, LatticeOver(store.bounds(), 100), 2, driver, sink, options);
    ASSERT_EQ(sink.rows.size(), 2u);
    EXPECT_EQ(sink.rows[0], "0,0," + expected + " 100,0," + expected) << reference;
    EXPECT_EQ(sink.rows[1], row1) << reference;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SurfaceModeTest,
    ::testing::Values(SurfaceCase{"LowFirstHighest", true, false, 80},
                      SurfaceCase{"LowFirstSurface", true, true, 40},
                      SurfaceCase{"HighFirstHighest", false, false, 80},
                      SurfaceCase{"HighFirstSurface", false, true, 80},
                      SurfaceCase{"LowFirstLowest", true, false, 40, ScanSide::kBottom, 80},
                      SurfaceCase{"LowFirstSurfaceBelow", true, true, 40, ScanSide::kBottom, 80},
                      SurfaceCase{"HighFirstLowest", false, false, 40, ScanSide::kBottom, 80},
                      SurfaceCase{"HighFirstSurfaceBelow", false, true, 80, ScanSide::kBottom, 80}),
    [](const auto& info) { return info.param.name; });

TEST(ScanHeightMapTest, SurfaceReadLiveTakesEffectFromNextRow) {
  const Triangle low{{{0, 0, 40}, {100, 0, 40}, {0, 100, 40}}};
  const Triangle high{{{0, 0, 80}, {100, 0, 80}, {0, 100, 80}}};
  GeometryStore store;
  FillStore(store, {low, high});
  FakeDriver driver;
  driver.on_pass = [&](int pass) { driver.surface = pass == 1; };
  RecordingSink sink;
  ScanHeightMap(store, LatticeOver(store.bounds(), 50), 2, driver, sink);
  ASSERT_EQ(sink.rows.size(), 3u);
  EXPECT_EQ(sink.rows[0], "0,0,80 50,0,80 100,0,80");      // Surface off
  EXPECT_EQ(sink.rows[1], "0,50,40 50,50,40 100,50,0");    // turned on after row 1
  EXPECT_EQ(sink.rows[2], "0,100,80 50,100,0 100,100,0");  // off again
}

TEST(ScanHeightMapTest, UncoveredPointsTakeZMin) {
  // A deep triangle sets z min; a shallower one lies above it.
  const Triangle deep{{{0, 0, -400}, {40, 0, -400}, {0, 40, -400}}};
  const Triangle shallow{{{0, 0, -100}, {80, 0, -100}, {0, 80, -100}}};
  GeometryStore store;
  FillStore(store, {deep, shallow});
  FakeDriver driver;
  RecordingSink sink;
  ScanHeightMap(store, LatticeOver(store.bounds(), 40), 2, driver, sink);
  EXPECT_EQ(sink.rows[0], "0,0,-100 40,0,-100 80,0,-100");
  EXPECT_EQ(sink.rows[2], "0,80,-100 40,80,-400 80,80,-400");
}

// From below the floor is z max: the highest vertex, or 0 with every
// vertex below it; a triangle above z max cannot lift a point past it.
struct CeilingCase {
  std::string name;
  std::int32_t deep, shallow;  // the two triangles' levels
  std::string row0, row2;
};

class BottomCeilingTest : public ::testing::TestWithParam<CeilingCase> {};

TEST_P(BottomCeilingTest, UncoveredPointsTakeZMax) {
  const CeilingCase& c = GetParam();
  GeometryStore store;
  FillStore(store, {Triangle{{{0, 0, c.deep}, {40, 0, c.deep}, {0, 40, c.deep}}},
                    Triangle{{{0, 0, c.shallow}, {80, 0, c.shallow}, {0, 80, c.shallow}}}});
  EXPECT_EQ(HighestZ(store, 2), std::max({0, c.deep, c.shallow}));
  for (int threads : {1, 2}) {
    ScanOptions options;
    options.threads = threads;
    options.side = ScanSide::kBottom;
    FakeDriver driver;
    RecordingSink sink;
    ScanHeightMap(store, LatticeOver(store.bounds(), 40), 2, driver, sink, options);
    ASSERT_EQ(sink.rows.size(), 3u);
    EXPECT_EQ(sink.rows[0], c.row0) << threads;
    EXPECT_EQ(sink.rows[2], c.row2) << threads;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Floors, BottomCeilingTest,
    ::testing::Values(CeilingCase{"BelowZero", -400, -100, "0,0,-400 40,0,-400 80,0,-100",
                                  "0,80,-100 40,80,0 80,80,0"},
                      CeilingCase{"AboveZero", 100, 400, "0,0,100 40,0,100 80,0,400",
                                  "0,80,400 40,80,400 80,80,400"},
                      CeilingCase{"Across", -30, 70, "0,0,-30 40,0,-30 80,0,70",
                                  "0,80,70 40,80,70 80,80,70"}),
    [](const auto& info) { return info.param.name; });

TEST(ScanHeightMapTest, BottomNeedsNoVertexAtTheLowestGridValue) {
  GeometryStore store;
  FillStore(store, {Triangle{{{0, 0, INT32_MIN}, {40, 0, 5}, {0, 40, 5}}}});
  EXPECT_TRUE(SideFits(store, 1, ScanSide::kTop));
  EXPECT_FALSE(SideFits(store, 1, ScanSide::kBottom));
  FillStore(store, {Triangle{{{0, 0, INT32_MIN + 1}, {40, 0, INT32_MAX}, {0, 40, 5}}}});
  EXPECT_TRUE(SideFits(store, 1, ScanSide::kBottom));
  EXPECT_EQ(HighestZ(store, 1), INT32_MAX);
}

TEST(ScanHeightMapTest, OnlyCountedTrianglesAreConsulted) {
  GeometryStore store;
  FillStore(store, {kWorked, Triangle{{{0, 0, 999}, {84, 0, 999}, {0, 84, 999}}}});
  FakeDriver driver;
  RecordingSink sink;
  ScanHeightMap(store, LatticeOver(store.bounds(), 40), 1, driver, sink);
  EXPECT_EQ(sink.rows[1], "0,40,0 40,40,40 80,40,0");
}

TEST(ScanHeightMapTest, StopAfterRowInProgress) {
  GeometryStore store;
  FillStore(store, {kWorked});
  FakeDriver driver;
  driver.on_pass = [&](int pass) { driver.stop = pass == 2; };
  RecordingSink sink;
  ScanHeightMap(store, LatticeOver(store.bounds(), 40), 1, driver, sink);
  EXPECT_EQ(sink.rows.size(), 2u);
  EXPECT_EQ(driver.progress.back(), 0);
}

TEST(ScanHeightMapTest, StopAlreadyRequestedWritesOneRow) {
  GeometryStore store;
  FillStore(store, {kWorked});
  FakeDriver driver;
  driver.stop = true;
  RecordingSink sink;
  ScanHeightMap(store, LatticeOver(store.bounds(), 40), 1, driver, sink);
  EXPECT_EQ(sink.rows.size(), 1u);
}

TEST(ScanHeightMapTest, EmptyModelIsOnePoint) {
  GeometryStore store;
  store.ResetBounds();
  FakeDriver driver;
  RecordingSink sink;
  ScanHeightMap(store, LatticeOver(store.bounds(), 4), 0, driver, sink);
  EXPECT_EQ(sink.rows, std::vector<std::string>{"0,0,0"});
  // y max is 0: the progress quotient has no value and raises nothing.
  EXPECT_EQ(driver.progress, (std::vector<int>{100, 0}));
}

TEST(ScanHeightMapTest, PitchWiderThanBounds) {
  GeometryStore store;
  FillStore(store, {Triangle{{{-10, -20, 5}, {30, -20, 5}, {-10, 10, 5}}}});
  FakeDriver driver;
  RecordingSink sink;
  ScanHeightMap(store, LatticeOver(store.bounds(), 255), 1, driver, sink);
  EXPECT_EQ(sink.rows, std::vector<std::string>{"-10,-20,5"});
}

TEST(ScanHeightMapTest, NegativeRowsGiveNegativeProgress) {
  GeometryStore store;
  FillStore(store, {Triangle{{{0, -100, 0}, {10, -100, 0}, {0, 10, 0}}}});
  FakeDriver driver;
  RecordingSink sink;
  ScanHeightMap(store, LatticeOver(store.bounds(), 50), 1, driver, sink);
  // Rows at -100, -50, 0; progress -500, 0, 500 percent, then 0.
  EXPECT_EQ(driver.progress, (std::vector<int>{-500, 0, 500, 0}));
}

// Both ways of dividing by the pitch against exact integer floor and
// ceiling: every pitch, around every multiple near zero and near the range
// limit of +-2^40, where the reciprocal's product strays most.
TEST(LatticeTest, FloorAndCeilingByThePitch) {
  const auto floor_of = [](std::int64_t a, std::int64_t p) {
    return a >= 0 ? a / p : -((-a + p - 1) / p);
  };
  constexpr std::int64_t kLimit = (std::int64_t{1} << 40) - 1;
  for (int pitch = 1; pitch <= 255; ++pitch) {
    const double inverse = 1.0 / pitch;
    std::vector<std::int64_t> values;
    for (std::int64_t k = -3; k <= 3; ++k) {
      for (const std::int64_t base :
           {std::int64_t{0}, kLimit / pitch * pitch, -(kLimit / pitch * pitch)}) {
        for (std::int64_t d = -1; d <= 1; ++d) values.push_back(base + k * pitch + d);
      }
    }
    values.push_back(kLimit);
    values.push_back(-kLimit);
    for (const std::int64_t a : values) {
      if (a > kLimit || a < -kLimit) continue;
      SCOPED_TRACE("a " + std::to_string(a) + " pitch " + std::to_string(pitch));
      const std::int64_t floor = floor_of(a, pitch);
      const std::int64_t ceil = -floor_of(-a, pitch);
      ASSERT_EQ(FloorByPitch(a, pitch), floor);
      ASSERT_EQ(CeilByPitch(a, pitch), ceil);
      ASSERT_EQ(FloorByPitch(a, pitch, inverse), floor);
      ASSERT_EQ(CeilByPitch(a, pitch, inverse), ceil);
    }
  }
}

// The whole lattice's progress divides the next row's y by y max; a window
// (the images' crop) counts its own rows, wherever it lies.
struct ProgressCase {
  std::string name;
  std::int32_t y_min, y_max;
  std::int64_t rows;
  bool window;
  std::vector<int> expected;  // after each row, then the 0 of the end
};

class LatticeProgressTest : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(LatticeProgressTest, AfterEachRow) {
  const ProgressCase& c = GetParam();
  Lattice lattice;
  lattice.y_min = c.y_min;
  lattice.y_max = c.y_max;
  lattice.pitch = 40;
  lattice.rows = c.rows;
  lattice.window = c.window;
  std::vector<int> progress;
  for (std::int64_t written = 1; written <= c.rows; ++written) {
    progress.push_back(LatticeProgress(lattice, written));
  }
  progress.push_back(0);
  EXPECT_EQ(progress, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lattices, LatticeProgressTest,
    ::testing::Values(ProgressCase{"Whole", 0, 84, 3, false, {47, 95, 142, 0}},
                      // A window of rows 4000 to 4080 of a model up to 4084:
                      // 97 % after its first row by y max, a third by its rows.
                      ProgressCase{"WindowHigh", 4000, 4080, 3, true, {33, 66, 100, 0}},
                      ProgressCase{"WindowBelowZero", -400, -320, 3, true, {33, 66, 100, 0}},
                      ProgressCase{"OneRowWindow", 120, 120, 1, true, {100, 0}}),
    [](const auto& info) { return info.param.name; });

TEST(ScanHeightMapTest, AWindowsProgressCountsItsRows) {
  GeometryStore store;
  FillStore(store, {Triangle{{{0, 0, 10}, {400, 0, 10}, {0, 400, 10}}}});
  Lattice window = LatticeOver(store.bounds(), 40);
  window.y_min = 200;  // rows 200, 240, 280, 320: four of them
  window.y_max = 320;
  window.rows = 4;
  window.window = true;
  FakeDriver driver;
  RecordingSink sink;
  ScanHeightMap(store, window, 1, driver, sink);
  EXPECT_EQ(driver.progress, (std::vector<int>{25, 50, 75, 100, 0}));
}

TEST(ScanHeightMapTest, ProgressBeyondTheIntRangeIsHeld) {
  EXPECT_EQ(ScanProgress(std::int64_t{2147483647} + 255, 2147483647), 100);
  EXPECT_EQ(ScanProgress(-2147483648LL, 1), INT_MIN);
  EXPECT_EQ(ScanProgress(2147483647LL, 1), INT_MAX);
  EXPECT_EQ(ScanProgress(-40, 0), 0);
}

// A sink whose formatter fails on row `failing`, or else holds the first
// row a worker formats until the driving thread has waited for it
// (WhileWaiting). The driving thread computes rows too: its own wait until
// a worker holds one, so that the run cannot end without a wait.
class HoldingSink : public RowSink, public RowFormatter {
 public:
  explicit HoldingSink(std::int64_t failing = -1) : failing_(failing) {}
  std::span<const RowFormatter* const> formatters() const override { return {&self_, 1}; }
  void FormatPiece(const Lattice&, const RowPiece& piece, RowText& out) const override {
    if (piece.row == failing_) throw std::bad_alloc();
    out = "free";
    if (failing_ >= 0) return;
    std::unique_lock lock(mutex_);
    if (std::this_thread::get_id() == driving_) {
      changed_.wait(lock, [this] { return held_row_ >= 0; });
      return;
    }
    if (held_row_ >= 0) return;
    held_row_ = piece.row;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
    out = "held";
  }
  std::size_t MaxBytesPerPoint() const override { return 4; }
  void WritePiece(const RowPiece& piece, std::span<const RowText> texts) override {
    if (piece.ends_row) rows.emplace_back(texts.front());
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  std::int64_t HeldRow() const {
    std::lock_guard lock(mutex_);
    return held_row_;
  }
  std::vector<std::string> rows;

 private:
  std::int64_t failing_;
  mutable std::int64_t held_row_ = -1;
  bool released_ = false;
  const std::thread::id driving_ = std::this_thread::get_id();
  const RowFormatter* const self_ = this;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
};

// The scan waits for a worker's row without freezing its front end: the
// driver hears WhileWaiting, and a stop seen there ends the output at
// once, before the row waited for.
TEST(RowPipelineTest, StopWhileWaitingEndsBeforeTheAwaitedRow) {
  GeometryStore store;
  FillStore(store, {Triangle{{{0, 0, 5}, {400, 0, 5}, {0, 400, 5}}}});
  HoldingSink sink;
  // Stops once every row before the held one is written: the row the
  // driving thread then waits for is the held one.
  struct Waiting : FakeDriver {
    HoldingSink* sink;
    void WhileWaiting() override {
      ++waits;
      const std::int64_t held = sink->HeldRow();
      if (held < 0 || sink->rows.size() != static_cast<std::size_t>(held)) return;
      stop = true;
      sink->Release();
    }
  } waiting;
  waiting.sink = &sink;
  ScanHeightMap(store, LatticeOver(store.bounds(), 10), 1, waiting, sink, {2, false});
  EXPECT_GE(waiting.waits, 1);
  ASSERT_GE(sink.HeldRow(), 0);
  // Every row before the one waited for, and none from it on.
  ASSERT_EQ(sink.rows.size(), static_cast<std::size_t>(sink.HeldRow()));
  for (const std::string& row : sink.rows) EXPECT_NE(row, "held");
}

// A worker that runs out of memory ends the scan with that error (neither
// an abort nor a wait for ever), on one thread and on several.
TEST(RowPipelineTest, FailureOfAWorkerEndsTheScan) {
  GeometryStore store;
  FillStore(store, {Triangle{{{0, 0, 5}, {400, 0, 5}, {0, 400, 5}}}});
  for (int threads : {1, 2, 3}) {
    FakeDriver driver;
    HoldingSink sink(7);
    EXPECT_THROW(
        ScanHeightMap(store, LatticeOver(store.bounds(), 10), 1, driver, sink, {threads, false}),
        std::bad_alloc)
        << threads << " threads";
    // Rows before the failed one may or may not have been written by then.
    EXPECT_LE(sink.rows.size(), 7u) << threads << " threads";
  }
}

}  // namespace
}  // namespace pelmoro
