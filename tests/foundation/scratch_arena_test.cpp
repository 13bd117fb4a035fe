#include "foundation/scratch_arena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace pelmoro {
namespace {

// Tables grown past what the arena holds keep their contents, and each
// piece is where the arena's state says: inside it while there is room,
// on the heap after.
struct GrowthCase {
  std::string name;
  std::size_t arena_bytes;
  std::size_t values;  // pushed one by one into a vector of 64-bit values
  bool ends_in_arena;
};

class ArenaGrowthTest : public ::testing::TestWithParam<GrowthCase> {};

TEST_P(ArenaGrowthTest, KeepsContentsAndFallsBackToTheHeap) {
  const GrowthCase& c = GetParam();
  ScratchArena arena(c.arena_bytes);
  std::vector<std::uint64_t, ArenaAllocator<std::uint64_t>> values{
      ArenaAllocator<std::uint64_t>(&arena)};
  for (std::size_t i = 0; i < c.values; ++i) values.push_back(i * 7919);
  for (std::size_t i = 0; i < c.values; ++i) ASSERT_EQ(values[i], i * 7919) << i;
  EXPECT_EQ(arena.Holds(values.data()), c.ends_in_arena);
  // A copy into a table without an arena is the heap's, and equal.
  const std::vector<std::uint64_t, ArenaAllocator<std::uint64_t>> copy(values.begin(),
                                                                       values.end());
  EXPECT_FALSE(arena.Holds(copy.data()));
  EXPECT_TRUE(std::equal(copy.begin(), copy.end(), values.begin(), values.end()));
}

INSTANTIATE_TEST_SUITE_P(Tables, ArenaGrowthTest,
                         ::testing::Values(GrowthCase{"NoArena", 0, 1000, false},
                                           GrowthCase{"FitsInOneHugePage", 1, 60000, true},
                                           // Doublings up to 2^21 values pass 2 MiB: the last
                                           // ones come from the heap.
                                           GrowthCase{"OutgrowsTheArena", 1, 300000, false}),
                         [](const auto& info) { return info.param.name; });

TEST(ScratchArenaTest, PiecesAreAlignedAndDoNotOverlapAcrossThreads) {
  ScratchArena arena(1 << 20);
  constexpr int kThreads = 4, kPieces = 500;
  std::vector<std::vector<std::uintptr_t>> starts(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPieces; ++i) {
        void* p = arena.Allocate(1 + (i * 37 + t) % 200, std::size_t{1} << (i % 7));
        if (p != nullptr) starts[t].push_back(reinterpret_cast<std::uintptr_t>(p));
      }
    });
  }
  for (std::thread& t : threads) t.join();
  std::vector<std::pair<std::uintptr_t, std::size_t>> pieces;  // start, size
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(starts[t].size(), std::size_t{kPieces});  // 2 MiB hold them all
    for (int i = 0; i < kPieces; ++i) {
      EXPECT_EQ(starts[t][i] % (std::uintptr_t{1} << (i % 7)), 0u);
      pieces.emplace_back(starts[t][i], 1 + (i * 37 + t) % 200);
    }
  }
  // In address order, no piece reaches into the next.
  std::sort(pieces.begin(), pieces.end());
  for (std::size_t k = 1; k < pieces.size(); ++k) {
    EXPECT_LE(pieces[k - 1].first + pieces[k - 1].second, pieces[k].first);
  }
  EXPECT_EQ(arena.Allocate(std::size_t{3} << 20, 8), nullptr);
}

}  // namespace
}  // namespace pelmoro
