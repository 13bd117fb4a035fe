// The controller as the engine's driver: message passes and their
// interval, the stop request read from the caption, the bar, the "Surface"
// box read live, and what the run asks of the dialogs and the words.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/control/controller_harness.h"
#include "tests/support/worked_example.h"

namespace pelmoro::testing {
namespace {

using std::chrono::milliseconds;

// The worked example, ready to convert at 1 mm into out.hzm.
void PrepareWorkedRun(ControllerHarness& h) {
  h.folder.Write("w.stl", kWorkedStl);
  h.view.pitch_text = "1";
  h.view.input_answer = h.folder.File("w.stl");
  h.view.output_answer = h.folder.File("out");
}

TEST(DriverSideTest, PassesFallInTheirPhases) {
  ControllerHarness h;
  PrepareWorkedRun(h);
  h.ClickConvert();
  // One pass after the triangle, one after each of the three rows: the
  // tables' pass numbers name these moments.
  EXPECT_EQ(h.driver.phase_at_pass,
            (std::vector<RunPhase>{RunPhase::kReading, RunPhase::kScanning, RunPhase::kScanning,
                                   RunPhase::kScanning}));
  EXPECT_EQ(h.folder.Read("out.hzm"), std::string(kWorkedHzm));
}

struct IntervalCase {
  std::string name;
  milliseconds interval;
  milliseconds step;             // the clock's advance at every pass
  std::vector<int> dispatching;  // the passes in which the window dispatched
};

class MessageIntervalTest : public ::testing::TestWithParam<IntervalCase> {};

TEST_P(MessageIntervalTest, SkipsPassesCloseTogether) {
  const IntervalCase& c = GetParam();
  ControllerHarness h;
  PrepareWorkedRun(h);
  h.UseDriverClock();
  h.driver.forward_waits = false;
  h.driver.clock_step = c.step;
  h.controller.SetMessageInterval(c.interval);
  h.ClickConvert();
  EXPECT_EQ(h.driver.dispatching_passes, c.dispatching);
}

INSTANTIATE_TEST_SUITE_P(
    Intervals, MessageIntervalTest,
    ::testing::Values(
        IntervalCase{"NoIntervalEveryPass", milliseconds(0), milliseconds(0), {1, 2, 3, 4}},
        IntervalCase{"FirstPassOfARunAlways", milliseconds(3600000), milliseconds(0), {1}},
        IntervalCase{"WithinTheIntervalSkipped", milliseconds(10), milliseconds(4), {1, 4}},
        IntervalCase{"ExactlyTheIntervalApart", milliseconds(10), milliseconds(10), {1, 2, 3, 4}}),
    [](const auto& info) { return info.param.name; });

TEST(DriverSideTest, EveryRunDispatchesAtItsFirstPass) {
  ControllerHarness h;
  PrepareWorkedRun(h);
  h.UseDriverClock();
  h.driver.forward_waits = false;
  h.controller.SetMessageInterval(milliseconds(3600000));
  h.ClickConvert();
  h.ClickConvert();  // the clock has not moved
  EXPECT_EQ(h.driver.dispatching_passes, (std::vector<int>{1, 5}));
}

TEST(DriverSideTest, WaitsDispatchAsPassesDo) {
  ControllerHarness h;
  h.controller.WhileWaiting();
  h.controller.WhileWaiting();
  EXPECT_EQ(h.view.dispatches, 2);
}

struct CaptionCase {
  std::string caption;
  bool stop;
};

class StopRequestTest : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(StopRequestTest, IsTheCaptionExitExactly) {
  ControllerHarness h;
  h.view.caption = GetParam().caption;
  EXPECT_EQ(h.controller.StopRequested(), GetParam().stop);
}

INSTANTIATE_TEST_SUITE_P(Captions, StopRequestTest,
                         ::testing::Values(CaptionCase{"Exit", true}, CaptionCase{"Stop", false},
                                           CaptionCase{"exit", false}, CaptionCase{"EXIT", false},
                                           CaptionCase{"Exit ", false}, CaptionCase{"", false}));

struct BarCase {
  int engine;  // what the engine passes
  int shown;   // what the bar is set to
};

class ProgressBarTest : public ::testing::TestWithParam<BarCase> {};

TEST_P(ProgressBarTest, ShowsOutOfRangeValuesEmptyOrFull) {
  ControllerHarness h;
  h.controller.SetProgress(GetParam().engine, 0);
  EXPECT_EQ(h.view.positions, std::vector<int>{GetParam().shown});
}

INSTANTIATE_TEST_SUITE_P(Positions, ProgressBarTest,
                         ::testing::Values(BarCase{-40, 0}, BarCase{-1, 0}, BarCase{0, 0},
                                           BarCase{57, 57}, BarCase{100, 100}, BarCase{101, 100},
                                           BarCase{2000000000, 100}));

TEST(DriverSideTest, SurfaceIsReadAfreshEveryTime) {
  ControllerHarness h;
  EXPECT_FALSE(h.controller.FirstCoveringWanted());
  h.view.surface = true;
  EXPECT_TRUE(h.controller.FirstCoveringWanted());
  h.view.surface = false;
  EXPECT_FALSE(h.controller.FirstCoveringWanted());
  EXPECT_EQ(h.view.surface_reads, 3);
}

TEST(DriverSideTest, SaveDialogProposesTheInputNameWithHzm) {
  ControllerHarness h;
  PrepareWorkedRun(h);
  h.view.output_answer = std::nullopt;
  h.ClickConvert();
  EXPECT_EQ(h.view.proposals, std::vector<std::string>{h.folder.File("w.hzm")});
}

TEST(DriverSideTest, BoundsAreResetOnEveryPressEvenARefusedOne) {
  ControllerHarness h;
  PrepareWorkedRun(h);
  h.ClickConvert();
  EXPECT_NE(h.store.bounds().x_max, 0);
  h.view.pitch_text = "0";
  h.ClickConvert();
  EXPECT_EQ(h.store.bounds().x_max, 0);
}

TEST(DriverSideTest, ErrorsAreShownInTheUsersWords) {
  ControllerHarness h([](std::string_view message) {
    return message == "ファイルが見つかりません" ? std::string("File not found")
                                                 : std::string(message);
  });
  h.view.pitch_text = "1";
  h.view.input_answer = h.folder.File("missing.stl");
  h.view.output_answer = h.folder.File("out");
  h.ClickConvert();
  ASSERT_GE(h.view.log.size(), 5u);
  EXPECT_EQ(h.view.log[4], "error File not found.");
}

}  // namespace
}  // namespace pelmoro::testing
