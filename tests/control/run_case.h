// One press of Convert (or none) over the worked example, with messages
// posted to the window at chosen moments, and what the window and the
// folder must show afterwards: a row of the controller's tables.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/worked_example.h"

namespace pelmoro::testing {

// What the user does at one moment.
enum class Act { kButton1, kButton2, kCloseBox, kSignal };

// When: before Convert (idle), at an engine message pass (1: after the
// triangle, while reading; 2 to 4: after each row, while scanning), or
// while the run's closing box is open.
inline constexpr int kWhileIdle = 0;
inline constexpr int kWhileReporting = -1;

struct Step {
  int at = kWhileIdle;
  Act act = Act::kButton2;
};

// What the output name holds afterwards (kInputOnly: the folder holds the
// input as it was and nothing else).
enum class Left { kMap, kEarlierFile, kNoFile, kInputOnly };

struct RunCase {
  std::string name;
  std::vector<Step> steps;
  std::vector<std::string> log;  // "{input}" stands for the input's path
  bool closed = false;           // the window closed
  Left left = Left::kMap;
  int rows = -1;  // with kMap: the header and this many rows; -1 the whole map
  bool convert = true;
  std::string pitch = "1";
  std::optional<std::string> input = "w.stl";  // nullopt: the dialog cancelled
  std::string input_text = kWorkedStl;         // empty: the file does not exist
  std::optional<std::string> output = "out";   // typed into the save dialog
  std::string map_name = "out.hzm";
  bool earlier = false;  // an earlier file of map_name exists
  bool focus_on_button1 = false;
};

inline void PrintTo(const RunCase& c, std::ostream* out) { *out << c.name; }

// The log of a run that starts and, between "caption Stop" and the box,
// does what `during` says, then shows `box` and returns to idle.
std::vector<std::string> RunLog(const std::vector<std::string>& during, const std::string& box,
                                const std::vector<std::string>& after = {});

// Runs the row and checks every expectation of it.
void ExpectRunCase(const RunCase& c);

}  // namespace pelmoro::testing
