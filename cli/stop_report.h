// What the command line says after a stopped conversion: "Break !", then
// where the run stopped and what became of each of its outputs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelmoro::cli {

// One output of a run, as it stood before the run.
struct StoppedOutput {
  std::string shown;     // its name in messages
  bool direct = false;   // a device, a pipe, a descriptor: written as it comes
  bool earlier = false;  // a file of that name was there
};

struct StopFacts {
  std::string input;         // as messages name it
  bool reading = false;      // the stop came before the scan
  std::int64_t written = 0;  // whole rows the scan wrote
  std::int64_t rows = 0;     // of the lattice's rows
  bool rows_kept = false;    // --keep-partial: the files took the rows too
  // The stop ended the run with a failure (a write to a pipe given up):
  // every file abandoned, the direct outputs cut short.
  bool given_up = false;
  std::vector<StoppedOutput> outputs;  // the main one first
};

// The outputs as they stand now (before the run): the main one, named
// main_shown in messages and written to a descriptor when main_descriptor
// >= 0, then the further ones.
std::vector<StoppedOutput> DescribeOutputs(const std::string& main_output,
                                           const std::string& main_shown, int main_descriptor,
                                           const std::vector<std::string>& further);

// The line after "Break !" (without its line end): "stopped at row R of N;
// part.hzm not written, the earlier one is kept", each output in turn.
std::string StopLine(const StopFacts& facts);

}  // namespace pelmoro::cli
