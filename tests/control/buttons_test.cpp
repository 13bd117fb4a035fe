// Both buttons in every state of the window: idle, reading, scanning, with
// a stop requested, and while the run's closing box is open.
#include <gtest/gtest.h>

#include "tests/control/run_case.h"

namespace pelmoro::testing {
namespace {

const char kComplete[] = "message Complate !";
const char kBreak[] = "message Break !";

class ButtonsTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(ButtonsTest, DoWhatTheStateCallsFor) { ExpectRunCase(GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    EveryState, ButtonsTest,
    ::testing::Values(
        // Idle: Convert runs a conversion; Exit ends the program at once.
        RunCase{"IdleButton1Converts", {}, RunLog({}, kComplete)},
        RunCase{"IdleButton2Closes",
                {{kWhileIdle, Act::kButton2}},
                {"closed"},
                true,
                Left::kNoFile,
                -1,
                /*convert=*/false},
        // Reading (the pass after the triangle): Convert is disabled; Stop
        // ends the reading and the scan writes one row.
        RunCase{"ReadingButton1DoesNothing", {{1, Act::kButton1}}, RunLog({}, kComplete)},
        RunCase{"ReadingButton2Stops",
                {{1, Act::kButton2}},
                RunLog({"caption Exit"}, kBreak),
                false,
                Left::kMap,
                1},
        // Scanning (the pass after row 2): Stop keeps the rows written.
        RunCase{"ScanningButton1DoesNothing", {{3, Act::kButton1}}, RunLog({}, kComplete)},
        RunCase{"ScanningButton2Stops",
                {{3, Act::kButton2}},
                RunLog({"caption Exit"}, kBreak),
                false,
                Left::kMap,
                2},
        // After the last row the stop still counts: every row, yet a break.
        RunCase{"LastRowButton2IsABreak",
                {{4, Act::kButton2}},
                RunLog({"caption Exit"}, kBreak),
                false,
                Left::kMap,
                -1},
        // With a stop requested the caption reads "Exit": a second click is
        // a close request; the run winds up and its box closes by itself. (A
        // stop while reading still lets the scan write its one row, pass 2.)
        RunCase{
            "StopRequestedButton2ClosesAfterTheRun",
            {{1, Act::kButton2}, {2, Act::kButton2}},
            RunLog({"caption Exit", "close deferred"}, "message Break ! (by itself)", {"closed"}),
            true,
            Left::kMap,
            1},
        RunCase{
            "TwoClicksInOnePass",
            {{2, Act::kButton2}, {2, Act::kButton2}},
            RunLog({"caption Exit", "close deferred"}, "message Break ! (by itself)", {"closed"}),
            true,
            Left::kMap,
            1},
        // The closing box is open: Convert stays disabled; "Stop" turns to
        // "Exit" without changing the message already shown.
        RunCase{"ReportingButton1DoesNothing",
                {{kWhileReporting, Act::kButton1}},
                RunLog({}, kComplete)},
        RunCase{"ReportingButton2OnlyTurnsTheCaption",
                {{kWhileReporting, Act::kButton2}},
                {"open", "save", "Button1 off", "caption Stop", kComplete, "caption Exit",
                 "Button1 on", "caption Exit"}},
        RunCase{"ReportingAfterAStopButton2ClosesAfterTheRun",
                {{2, Act::kButton2}, {kWhileReporting, Act::kButton2}},
                {"open", "save", "Button1 off", "caption Stop", "caption Exit", kBreak,
                 "close deferred", "Button1 on", "caption Exit", "closed"},
                true,
                Left::kMap,
                1}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace pelmoro::testing
