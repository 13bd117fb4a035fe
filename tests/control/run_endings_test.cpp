// How a press of Convert ends: complete, refused, cancelled, failed, closed
// or abandoned during the run, and the output name it writes.
#include <gtest/gtest.h>

#include "tests/control/run_case.h"

namespace pelmoro::testing {
namespace {

const char kComplete[] = "message Complate !";

RunCase Refused(const std::string& name, const std::string& pitch, const std::string& message) {
  RunCase c{name, {}, {"message " + message}, false, Left::kNoFile};
  c.pitch = pitch;
  return c;
}

RunCase Named(const std::string& name, const std::string& typed, const std::string& map) {
  RunCase c{name, {}, RunLog({}, kComplete)};
  c.output = typed;
  c.map_name = map;
  return c;
}

RunCase Cancelled(const std::string& name, bool at_input) {
  RunCase c{name, {}, {"open"}, false, Left::kNoFile};
  if (at_input) {
    c.input = std::nullopt;
    c.input_text.clear();
  } else {
    c.output = std::nullopt;
    c.log.push_back("save");
  }
  return c;
}

RunCase Failing(const std::string& name, const std::string& input, const std::string& text,
                std::vector<Step> steps, std::vector<std::string> log, bool closed) {
  RunCase c{name, std::move(steps), std::move(log), closed, Left::kEarlierFile};
  c.input = input;
  c.input_text = text;
  c.earlier = true;
  return c;
}

RunCase Earlier(RunCase c) {
  c.earlier = true;
  return c;
}

RunCase WithFocus(RunCase c) {
  c.focus_on_button1 = true;
  return c;
}

class RunEndingsTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunEndingsTest, LeaveTheWindowAndTheFolderAsTheyShould) { ExpectRunCase(GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Endings, RunEndingsTest,
    ::testing::Values(
        Earlier(RunCase{"CompleteRunReplacesAnEarlierFile", {}, RunLog({}, kComplete)}),
        Refused("PitchOfZeroUnits", "0.02", "Error!\r\nPitch larger than 0.025"),
        Refused("PitchNotANumber", "abc", "Error!\r\n0.025 < Pitch < 6.375"),
        Refused("PitchEmpty", "", "Error!\r\n0.025 < Pitch < 6.375"),
        Refused("PitchAboveTheRange", "6.4", "Error!\r\n0.025 < Pitch < 6.375"),
        Refused("PitchNegative", "-1", "Error!\r\n0.025 < Pitch < 6.375"),
        Cancelled("InputDialogCancelled", /*at_input=*/true),
        Cancelled("OutputDialogCancelled", /*at_input=*/false),
        Named("NameWithoutExtensionGetsHzm", "result", "result.hzm"),
        Named("TwoLetterExtensionGetsHzm", "result.hz", "result.hz.hzm"),
        Named("ThreeLetterExtensionStays", "result.txt", "result.txt"),
        // The close box during a run: the run goes on to its end, its box
        // closes by itself, then the window closes.
        RunCase{"CloseBoxDuringTheRun",
                {{2, Act::kCloseBox}},
                RunLog({"close deferred"}, "message Complate ! (by itself)", {"closed"}),
                true},
        RunCase{"CloseBoxWhenIdle",
                {{kWhileIdle, Act::kCloseBox}},
                {"closed"},
                true,
                Left::kNoFile,
                -1,
                /*convert=*/false},
        // A termination signal: the run is abandoned at once, the earlier
        // file stays, no box, and the window closes after the run.
        Earlier(RunCase{"SignalDuringTheRunKeepsTheEarlierFile",
                        {{2, Act::kSignal}},
                        {"open", "save", "Button1 off", "caption Stop", "dialogs closed",
                         "close deferred", "Button1 on", "caption Exit", "closed"},
                        true,
                        Left::kEarlierFile}),
        RunCase{"SignalWhenIdle",
                {{kWhileIdle, Act::kSignal}},
                {"dialogs closed", "closed"},
                true,
                Left::kNoFile,
                -1,
                /*convert=*/false},
        // Errors during the run: the error box, no closing message, the
        // earlier file as it was, the window idle again.
        Failing("MissingInputShowsTheErrorBox", "missing.stl", "", {},
                RunLog({}, "error ファイルが見つかりません."), false),
        Failing("BadNumberShowsTheErrorBox", "bad.stl",
                std::string(kWorkedStl) + "vertex 1 2 3\nvertex 1 two 3\n", {},
                RunLog({}, "error 'two' は浮動小数点数ではありません."), false),
        Failing("ErrorBoxClosesByItselfAfterACloseRequest", "bad.stl",
                std::string(kWorkedStl) + "vertex 1 2 3\nvertex 1 two 3\n", {{1, Act::kCloseBox}},
                RunLog({"close deferred"}, "error 'two' は浮動小数点数ではありません. (by itself)",
                       {"closed"}),
                true),
        [] {
          RunCase c{"OutputThatIsTheInputIsRefused",
                    {},
                    {"open", "save", "message Error!\r\nThe output file is the input file: {input}",
                     "Button1 on", "caption Exit"},
                    false,
                    Left::kInputOnly};
          c.output = "w.stl";
          c.map_name = "w.stl";
          return c;
        }(),
        // Button1 had the focus: the window holds it during the run (Enter
        // cannot reach Stop) and gives it back at the end.
        WithFocus(RunCase{"FocusHeldFromButton1AndGivenBack",
                          {},
                          {"open", "save", "focus held", "Button1 off", "caption Stop", kComplete,
                           "Button1 on", "caption Exit", "focus back"}}),
        WithFocus(Cancelled("FocusUntouchedWhenNoRunStarts", /*at_input=*/true))),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace pelmoro::testing
