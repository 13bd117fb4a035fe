// How many threads a --threads value may start, for each use of them.
#include "engine/worker_threads.h"

#include <gtest/gtest.h>

#include <string>

namespace pelmoro {
namespace {

struct ThreadsCase {
  const char* name;
  int asked, cores;
  ThreadUse use;
  int threads;
};

class ThreadsToStartTest : public ::testing::TestWithParam<ThreadsCase> {};

TEST_P(ThreadsToStartTest, FollowsTheAskedCountAndTheCores) {
  const ThreadsCase& c = GetParam();
  EXPECT_EQ(ThreadsToStart(c.asked, c.cores, c.use), c.threads);
}

constexpr ThreadUse kUpToCores = ThreadUse::kUpToCores;
constexpr ThreadUse kAsAsked = ThreadUse::kAsAsked;

INSTANTIATE_TEST_SUITE_P(
    Counts, ThreadsToStartTest,
    ::testing::Values(ThreadsCase{"ReadingNotGiven", 0, 6, kUpToCores, 6},
                      ThreadsCase{"ReadingOne", 1, 6, kUpToCores, 1},
                      ThreadsCase{"ReadingBelowTheCores", 3, 6, kUpToCores, 3},
                      ThreadsCase{"ReadingAtTheCores", 6, 6, kUpToCores, 6},
                      ThreadsCase{"ReadingBeyondTheCores", 8, 2, kUpToCores, 2},
                      ThreadsCase{"ReadingTheMostOnOneCore", kMostThreads, 1, kUpToCores, 1},
                      ThreadsCase{"ScanNotGiven", 0, 6, kAsAsked, 6},
                      ThreadsCase{"ScanOne", 1, 6, kAsAsked, 1},
                      ThreadsCase{"ScanBeyondTheCores", 8, 2, kAsAsked, 8},
                      ThreadsCase{"ScanTheMost", kMostThreads, 4, kAsAsked, kMostThreads},
                      ThreadsCase{"NegativeIsNotGiven", -1, 3, kAsAsked, 3}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelmoro
