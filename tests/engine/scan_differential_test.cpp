// The sweep and its worker threads against the plain scan, on random models
// built to hit the coverage test's hard cases.
#include <gtest/gtest.h>

#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "engine/scan/height_map_scan.h"
#include "engine/triangle_metrics.h"
#include "tests/support/fake_driver.h"
#include "tests/support/recording_sink.h"
#include "tests/support/store_builder.h"

namespace pelmoro {
namespace {

using testing::AddTriangle;
using testing::FakeDriver;
using testing::FirstDifference;
using testing::RecordingSink;
using testing::StartEmptyStore;

// Small and large triangles, slivers, walls, fans sharing edges and
// vertices, duplicates, negative coordinates, the long-edge triangle.
std::int32_t RandomModel(GeometryStore& store, std::mt19937& random, int triangles) {
  StartEmptyStore(store);
  std::int32_t count = 0;
  std::uniform_int_distribution<int> coordinate(-300, 900), height(-200, 400), kind(0, 7);
  auto vertex = [&] { return Vertex{coordinate(random), coordinate(random), height(random)}; };
  AddTriangle(store, count, Triangle{{{407, 1603, 0}, {1207, 403, 50}, {7, 3, 100}}});
  for (int n = 0; n < triangles; ++n) {
    const Vertex a = vertex();
    switch (kind(random)) {
      case 0: {  // small
        auto near = [&] {
          return Vertex{a.x + int(random() % 30) - 15, a.y + int(random() % 30) - 15,
                        height(random)};
        };
        AddTriangle(store, count, Triangle{{a, near(), near()}});
        break;
      }
      case 1: {  // sliver: the third vertex within a unit of the line
        const Vertex b = vertex();
        const int k = int(random() % 16);
        AddTriangle(
            store, count,
            Triangle{{a,
                      b,
                      {a.x + (b.x - a.x) * k / 16 + int(random() % 3) - 1,
                       a.y + (b.y - a.y) * k / 16 + int(random() % 3) - 1, height(random)}}});
        break;
      }
      case 2: {  // vertical wall
        const Vertex b = vertex();
        AddTriangle(store, count, Triangle{{a, b, {a.x, a.y, height(random)}}});
        break;
      }
      case 3:  // duplicate of an earlier triangle, another height
        if (count > 0) {
          Triangle t = store.triangle(random() % static_cast<std::uint32_t>(count));
          t.v[0].z += 7;
          AddTriangle(store, count, t);
        }
        break;
      case 4: {  // fan sharing a vertex and edges
        Vertex prev = vertex();
        for (int f = 0; f < 4; ++f) {
          const Vertex next = vertex();
          AddTriangle(store, count, Triangle{{a, prev, next}});
          prev = next;
        }
        break;
      }
      default:
        AddTriangle(store, count, Triangle{{a, vertex(), vertex()}});
    }
  }
  return count;
}

// Where two recorded scans part, for the failure message.
std::string Scan(const GeometryStore& store, int pitch, std::int32_t count,
                 const ScanOptions& options, const std::vector<int>& surface_flips, bool surface) {
  FakeDriver driver;
  driver.surface = surface;
  driver.on_pass = [&](int pass) {
    for (int flip : surface_flips) {
      if (flip == pass) driver.surface = !driver.surface;
    }
  };
  RecordingSink sink;
  ScanHeightMap(store, LatticeOver(store.bounds(), pitch), count, driver, sink, options);
  return sink.Everything();
}

ScanOptions OptionsOf(int threads, bool reference, std::int64_t piece, ScanSide side) {
  ScanOptions options{threads, reference, piece};
  options.side = side;
  return options;
}

// Every thread count gives the plain scan's rows, in both modes and from
// both sides, with Surface flipped before the given passes. The plain scan
// takes the lowest plane from below as it is; the sweep sees the mirrored
// model's top.
void ExpectPlainScanRows(const GeometryStore& store, int pitch, std::int32_t count,
                         std::initializer_list<int> thread_counts,
                         const std::vector<int>& flips = {}) {
  for (ScanSide side : {ScanSide::kTop, ScanSide::kBottom}) {
    for (bool surface : {false, true}) {
      const std::string plain =
          Scan(store, pitch, count, OptionsOf(0, true, 1 << 16, side), flips, surface);
      for (int threads : thread_counts) {
        // Whole rows, and rows cut into pieces of 5 columns (and 1 past it).
        for (std::int64_t piece : {std::int64_t{1} << 16, std::int64_t{5}}) {
          EXPECT_EQ(FirstDifference(Scan(store, pitch, count,
                                         OptionsOf(threads, false, piece, side), flips, surface),
                                    plain),
                    "same")
              << (flips.empty() ? "" : "flipping, ") << "threads " << threads << " surface "
              << surface << " piece " << piece << " bottom " << (side == ScanSide::kBottom);
        }
      }
    }
  }
}

struct DiffCase {
  std::string name;
  unsigned seed;
  int triangles;
  int pitch;
};

class ScanDifferentialTest : public ::testing::TestWithParam<DiffCase> {};

TEST_P(ScanDifferentialTest, SameRowsAsThePlainScan) {
  std::mt19937 random(GetParam().seed);
  GeometryStore store;
  const std::int32_t count = RandomModel(store, random, GetParam().triangles);
  ExpectPlainScanRows(store, GetParam().pitch, count, {1, 2, 3});
  ExpectPlainScanRows(store, GetParam().pitch, count, {1, 3}, {2, 3, 7, 20});
}

INSTANTIATE_TEST_SUITE_P(
    Models, ScanDifferentialTest,
    ::testing::Values(DiffCase{"Pitch1", 1, 5, 1}, DiffCase{"Pitch2", 7, 30, 2},
                      DiffCase{"Pitch7", 2, 150, 7}, DiffCase{"Pitch13", 3, 300, 13},
                      DiffCase{"Pitch40", 4, 400, 40}, DiffCase{"Pitch255", 5, 400, 255},
                      DiffCase{"Pitch4", 6, 120, 4}),
    [](const auto& info) { return info.param.name; });

// A floor fanned from its middle to the walls: long, thin triangles whose
// bounding boxes hold many rows and columns they never cover.
TEST(ScanDifferentialTest, LongThinFan) {
  GeometryStore store;
  StartEmptyStore(store);
  std::int32_t count = 0;
  for (int n = 0; n < 24; ++n) {
    AddTriangle(store, count,
                Triangle{{{300, 300, 7}, {600, 25 * n, 3 * n}, {600, 25 * n + 25, 40}}});
    AddTriangle(store, count, Triangle{{{300, 300, 9}, {25 * n, 600, n}, {25 * n + 25, 600, 2}}});
  }
  ExpectPlainScanRows(store, 1, count, {1, 2});
}

// A closed relief: a surface of small triangles over a level floor fanned
// from its middle, with walls between them. A floor at or below zero lies at
// z min (the bounds start from zero): it can never raise the highest plane,
// but it is the first covering triangle wherever it comes first. Heights
// around 2^20 in magnitude take the sweep's slower paths.
struct ReliefCase {
  std::string name;
  std::int32_t base;  // z of the floor
  std::int32_t rise;  // the surface lies between base + 1 and base + rise
  int pitch;
  bool floor_first;  // floor before the surface in the store
};

class ReliefDifferentialTest : public ::testing::TestWithParam<ReliefCase> {};

std::int32_t ClosedRelief(GeometryStore& store, const ReliefCase& c) {
  StartEmptyStore(store);
  std::int32_t count = 0;
  std::mt19937 random(11);
  constexpr int kCells = 12, kStep = 9;
  std::vector<std::int32_t> z((kCells + 1) * (kCells + 1));
  for (std::int32_t& v : z) v = c.base + 1 + static_cast<std::int32_t>(random() % c.rise);
  const auto top = [&](int i, int j) {
    return Vertex{i * kStep - 40, j * kStep - 31,
                  z[static_cast<std::size_t>(i * (kCells + 1) + j)]};
  };
  const auto bottom = [&](int i, int j) { return Vertex{i * kStep - 40, j * kStep - 31, c.base}; };
  const Vertex middle{kCells * kStep / 2 - 40, kCells * kStep / 2 - 31, c.base};
  const auto add_floor = [&] {
    for (int k = 0; k < kCells; ++k) {
      AddTriangle(store, count, Triangle{{middle, bottom(k, 0), bottom(k + 1, 0)}});
      AddTriangle(store, count, Triangle{{middle, bottom(kCells, k), bottom(kCells, k + 1)}});
      AddTriangle(store, count, Triangle{{middle, bottom(k + 1, kCells), bottom(k, kCells)}});
      AddTriangle(store, count, Triangle{{middle, bottom(0, k + 1), bottom(0, k)}});
    }
    // A level sliver along the floor's diagonal, and a level triangle
    // doubling part of the floor.
    AddTriangle(store, count, Triangle{{bottom(0, 0), middle, bottom(kCells, kCells)}});
    AddTriangle(store, count, Triangle{{bottom(1, 1), bottom(5, 2), bottom(3, 7)}});
    // Beside the relief, a level shelf one above the floor.
    AddTriangle(store, count,
                Triangle{{{-70, -31, c.base + 1}, {-45, -31, c.base + 1}, {-50, 20, c.base + 1}}});
  };
  if (c.floor_first) add_floor();
  for (int i = 0; i < kCells; ++i) {
    for (int j = 0; j < kCells; ++j) {
      AddTriangle(store, count, Triangle{{top(i, j), top(i + 1, j), top(i + 1, j + 1)}});
      AddTriangle(store, count, Triangle{{top(i, j), top(i + 1, j + 1), top(i, j + 1)}});
    }
  }
  for (int k = 0; k < kCells; ++k) {
    AddTriangle(store, count, Triangle{{top(k, 0), bottom(k, 0), bottom(k + 1, 0)}});
    AddTriangle(store, count, Triangle{{top(k, 0), bottom(k + 1, 0), top(k + 1, 0)}});
    AddTriangle(store, count, Triangle{{top(0, k), bottom(0, k), bottom(0, k + 1)}});
  }
  if (!c.floor_first) add_floor();
  return count;
}

TEST_P(ReliefDifferentialTest, SameRowsAsThePlainScan) {
  GeometryStore store;
  const std::int32_t count = ClosedRelief(store, GetParam());
  ExpectPlainScanRows(store, GetParam().pitch, count, {1, 2});
  ExpectPlainScanRows(store, GetParam().pitch, count, {1}, {1, 2, 5, 6, 30});
}

INSTANTIATE_TEST_SUITE_P(
    Floors, ReliefDifferentialTest,
    ::testing::Values(ReliefCase{"AtZero", 0, 50, 1, false},
                      ReliefCase{"BelowZero", -700, 90, 2, true},
                      ReliefCase{"Steep", -3, 4000, 3, false},
                      ReliefCase{"AroundTwoToTwenty", (1 << 20) - 30, 60, 1, true},
                      ReliefCase{"AroundMinusTwoToTwenty", -(1 << 20) - 30, 60, 1, true},
                      ReliefCase{"High", 300000000, 2000000, 5, true},
                      ReliefCase{"Low", -900000000, 70000000, 4, true}),
    [](const auto& info) { return info.param.name; });

// Level at z min below zero, but with no plan area (D = 0) while its area
// key is 1: where the area-sum test lets it cover, its height is 0, above
// z min.
TEST(ScanDifferentialTest, LevelLineBelowZero) {
  GeometryStore store;
  StartEmptyStore(store);
  std::int32_t count = 0;
  AddTriangle(store, count, Triangle{{{0, 0, -50}, {48, 43, -50}, {240, 215, -50}}});
  ASSERT_EQ(store.metrics(0).area_key, 1.0);
  AddTriangle(store, count, Triangle{{{0, 0, -50}, {240, 0, -50}, {240, 215, -50}}});
  ExpectPlainScanRows(store, 1, count, {1});
}

// A lattice too wide for the sweep to keep rows ahead: every triangle stays
// in the active set from row to row.
TEST(ScanDifferentialTest, WideLattice) {
  std::mt19937 random(5);
  GeometryStore store;
  StartEmptyStore(store);
  std::int32_t count = 0;
  std::uniform_int_distribution<int> offset(0, 25), height(-20, 90);
  for (int x : {0, 3000, 45000, 69970}) {
    for (int n = 0; n < 12; ++n) {
      const auto vertex = [&] {
        return Vertex{x + offset(random), offset(random), height(random)};
      };
      AddTriangle(store, count, Triangle{{vertex(), vertex(), vertex()}});
    }
  }
  AddTriangle(store, count, Triangle{{{0, 0, 5}, {70000, 12, 50}, {100, 25, -7}}});
  ExpectPlainScanRows(store, 1, count, {1, 2});
}

TEST(ScanDifferentialTest, StopInTheMiddleOfPipelinedRows) {
  std::mt19937 random(9);
  GeometryStore store;
  const std::int32_t count = RandomModel(store, random, 100);
  for (int threads : {1, 2, 4}) {
    FakeDriver driver;
    driver.on_pass = [&](int pass) { driver.stop = pass == 5; };
    RecordingSink sink;
    ScanHeightMap(store, LatticeOver(store.bounds(), 9), count, driver, sink, {threads, false});
    FakeDriver reference_driver;
    reference_driver.on_pass = [&](int pass) { reference_driver.stop = pass == 5; };
    RecordingSink reference;
    ScanHeightMapReference(store, LatticeOver(store.bounds(), 9), count, reference_driver,
                           reference);
    EXPECT_EQ(FirstDifference(sink.Everything(), reference.Everything()), "same");
    EXPECT_EQ(driver.progress, reference_driver.progress);
  }
}

}  // namespace
}  // namespace pelmoro
