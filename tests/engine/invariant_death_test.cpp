// The invariants the headers promise are checked where they are written:
// each row breaks one on purpose and expects the program to stop with the
// internal error naming that condition, in the file that states it.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "engine/scan/height_map_scan.h"
#include "engine/scan/lattice.h"
#include "engine/scan/row_pipeline.h"
#include "engine/scan/scan_plan.h"
#include "engine/scan/scan_row.h"
#include "foundation/assert.h"
#include "foundation/geometry_store.h"
#include "tests/support/fake_driver.h"
#include "tests/support/recording_sink.h"
#include "tests/support/store_builder.h"

namespace pelmoro {
namespace {

using testing::FakeDriver;
using testing::FillStore;
using testing::RecordingSink;

const Triangle kTriangle{{{0, 0, 5}, {400, 0, 5}, {0, 400, 5}}};

struct Breach {
  const char* name;
  std::function<void()> breach;  // breaks the invariant; returns only if unchecked
  const char* file;              // where the invariant is written
  const char* condition;         // the start of its condition, as printed
};

// A pipeline over one triangle with a worker beside the driving thread,
// handed to `use`.
void WithPipeline(const std::function<void(RowPipeline&)>& use) {
  GeometryStore store;
  const std::int32_t count = FillStore(store, {kTriangle});
  const ScanPlan plan(store, LatticeOver(store.bounds(), 10), count, std::int64_t{1} << 16);
  FakeDriver driver;
  DriverPoll poll(driver);
  RowPipeline pipeline(plan, {}, 2, driver, poll);
  use(pipeline);
}

class InvariantDeathTest : public ::testing::TestWithParam<Breach> {};

TEST_P(InvariantDeathTest, StopsWithAnInternalError) {
  if (!PELMORO_ASSERTS) GTEST_SKIP() << "invariants are not checked in this build";
  // The pipeline's rows start threads: the child runs the test afresh.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const Breach& b = GetParam();
  EXPECT_DEATH(b.breach(),
               std::string("pelmoro: internal error: .*") + b.file + ":[0-9]+: " + b.condition);
}

const Breach kBreaches[] = {
    {"StoreRowPastItsCapacity",
     [] {
       GeometryStore store;
       FillStore(store, {kTriangle});
       const GeometryStore& stored = store;
       static_cast<void>(stored.triangle(stored.capacity()));
     },
     "geometry_store\\.h", "i < rows_"},
    {"MetricsPastTheCapacity",
     [] {
       GeometryStore store;
       static_cast<void>(store.metrics(0));
     },
     "geometry_store\\.h", "i < rows_"},
    {"PitchOfZero", [] { static_cast<void>(LatticeOver(ModelBounds{}, 0)); }, "lattice\\.cpp",
     "pitch >= 1 && pitch <= 255"},
    {"PitchPastTheLargest", [] { static_cast<void>(LatticeOver(ModelBounds{}, 256)); },
     "lattice\\.cpp", "pitch >= 1 && pitch <= 255"},
    {"BoundsTheWrongWayRound",
     [] {
       const ModelBounds bounds{.x_min = 10, .x_max = -10, .y_min = 0, .y_max = 0, .z_min = 0};
       static_cast<void>(LatticeOver(bounds, 1));
     },
     "lattice\\.cpp", "b\\.x_min <= b\\.x_max"},
    {"FloorBeyondItsReach", [] { static_cast<void>(FloorByPitch(std::int64_t{1} << 40, 3)); },
     "lattice\\.h", "a > -kReach && a < kReach"},
    {"LayoutOfNoColumns",
     [] {
       Lattice lattice;
       lattice.columns = 0;
       const PieceLayout layout(lattice, 16);
       static_cast<void>(layout);
     },
     "scan_row\\.h", "columns >= 1"},
    {"UnitPastTheLayout",
     [] {
       Lattice lattice;
       lattice.columns = 40;
       lattice.rows = 3;
       const PieceLayout layout(lattice, 16);
       ScanRow row;
       row.Place(layout, layout.units);
     },
     "scan_row\\.h", "u >= 0 && u < layout\\.units"},
    {"CountPastTheStore",
     [] {
       GeometryStore store;
       FillStore(store, {kTriangle});
       FakeDriver driver;
       RecordingSink sink;
       const auto count = static_cast<std::int32_t>(store.capacity()) + 1;
       ScanHeightMap(store, LatticeOver(store.bounds(), 10), count, driver, sink);
     },
     "height_map_scan\\.cpp", "count >= 0"},
    {"PieceAskedOutOfOrder", [] { WithPipeline([](RowPipeline& rows) { rows.Piece(1, false); }); },
     "row_pipeline\\.cpp", "unit == consumed_"},
    // Unit 1 before unit 0: whether a worker has computed either by then
    // makes no difference.
    {"UnitDoneOutOfOrder", [] { WithPipeline([](RowPipeline& rows) { rows.Done(1); }); },
     "row_pipeline\\.cpp", "unit == consumed_ && SlotOf"},
};

INSTANTIATE_TEST_SUITE_P(Breaches, InvariantDeathTest, ::testing::ValuesIn(kBreaches),
                         [](const ::testing::TestParamInfo<Breach>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace pelmoro
