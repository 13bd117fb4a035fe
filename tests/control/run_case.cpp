#include "tests/control/run_case.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/control/controller_harness.h"

namespace pelmoro::testing {
namespace {

std::vector<std::string> WithInput(std::vector<std::string> log, const std::string& input) {
  for (std::string& entry : log) {
    const std::size_t at = entry.find("{input}");
    if (at != std::string::npos) entry.replace(at, 7, input);
  }
  return log;
}

void Do(ControllerHarness& h, Act act) {
  switch (act) {
    case Act::kButton1:
      h.controller.Button1Click(h.driver);
      break;
    case Act::kButton2:
      h.controller.Button2Click();
      break;
    case Act::kCloseBox:
      h.view.ClickCloseBox();
      break;
    case Act::kSignal:
      h.controller.EndForSignal();
      break;
  }
}

void PostSteps(ControllerHarness& h, const RunCase& c) {
  h.driver.at_pass = [&h, &c](int pass) {
    for (const Step& step : c.steps) {
      if (step.at == pass) h.view.pending.push_back([&h, act = step.act] { Do(h, act); });
    }
  };
  std::vector<Act> reporting;
  for (const Step& step : c.steps) {
    if (step.at == kWhileReporting) reporting.push_back(step.act);
  }
  if (!reporting.empty()) {
    h.view.while_box_open = [&h, reporting] {
      for (Act act : reporting) Do(h, act);
    };
  }
}

void ExpectLeft(const ControllerHarness& h, const RunCase& c) {
  std::vector<std::string> names;
  if (!c.input_text.empty()) names.push_back(*c.input);
  const std::optional<std::string> map = h.folder.Read(c.map_name);
  switch (c.left) {
    case Left::kMap:
      EXPECT_EQ(map, HeaderAndRows(kWorkedHzm, c.rows));
      break;
    case Left::kEarlierFile:
      EXPECT_EQ(map, "earlier\n");
      break;
    case Left::kNoFile:
      EXPECT_EQ(map, std::nullopt);
      break;
    case Left::kInputOnly:
      EXPECT_EQ(h.folder.Read(*c.input), c.input_text);
      break;
  }
  if (c.left != Left::kNoFile && c.left != Left::kInputOnly) names.push_back(c.map_name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(h.folder.Names(), names);  // nothing else, no temporary file
}

}  // namespace

std::vector<std::string> RunLog(const std::vector<std::string>& during, const std::string& box,
                                const std::vector<std::string>& after) {
  std::vector<std::string> log = {"open", "save", "Button1 off", "caption Stop"};
  log.insert(log.end(), during.begin(), during.end());
  log.push_back(box);
  log.insert(log.end(), {"Button1 on", "caption Exit"});
  log.insert(log.end(), after.begin(), after.end());
  return log;
}

void ExpectRunCase(const RunCase& c) {
  ControllerHarness h;
  const std::string input = c.input ? h.folder.File(*c.input) : std::string();
  if (c.input && !c.input_text.empty()) h.folder.Write(*c.input, c.input_text);
  if (c.earlier) h.folder.Write(c.map_name, "earlier\n");
  h.view.pitch_text = c.pitch;
  h.view.focus_on_button1 = c.focus_on_button1;
  if (c.input) h.view.input_answer = input;
  if (c.output) h.view.output_answer = h.folder.File(*c.output);
  PostSteps(h, c);
  for (const Step& step : c.steps) {
    if (step.at == kWhileIdle) Do(h, step.act);
  }
  if (c.convert) h.ClickConvert();

  EXPECT_EQ(h.view.log, WithInput(c.log, input));
  EXPECT_EQ(h.view.closed, c.closed);
  // Every run ends idle: Convert back, "Exit", the bar empty.
  EXPECT_TRUE(h.view.button1_enabled);
  EXPECT_EQ(h.view.caption, "Exit");
  EXPECT_EQ(h.view.progress, 0);
  for (int position : h.view.positions) {
    EXPECT_GE(position, 0);
    EXPECT_LE(position, 100);
  }
  EXPECT_TRUE(h.view.pending.empty()) << "a posted message was never dispatched";
  ExpectLeft(h, c);
}

}  // namespace pelmoro::testing
