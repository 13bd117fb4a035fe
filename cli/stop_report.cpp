#include "cli/stop_report.h"

#include <algorithm>

#include "cli/catalog.h"
#include "os/env.h"

namespace pelmoro::cli {

namespace {

StoppedOutput DescribeOutput(const std::string& name, const std::string& shown) {
  StoppedOutput output{shown};
  OutputTarget target;
  if (CurrentEnv().ResolveOutput(name, &target) != 0) return output;  // the run will refuse it
  output.direct = target.kind != OutputKind::kFile;
  output.earlier = target.kind == OutputKind::kFile && target.exists;
  return output;
}

// What became of a device, a pipe or a descriptor, which keeps what it took.
std::string DirectClause(const StopFacts& facts, const StoppedOutput& output) {
  const Fields file = {{"file", output.shown}};
  if (facts.given_up) return Translate("part of the map went to {file}", file);
  if (facts.reading && !facts.rows_kept) return Translate("nothing went to {file}", file);
  if (facts.reading) {
    return Translate("one row, of the triangles read before the stop, went to {file}", file);
  }
  return Translate("the whole rows before the stop went to {file}", file);
}

std::string Clause(const StopFacts& facts, const StoppedOutput& output) {
  if (output.direct) return DirectClause(facts, output);
  const Fields file = {{"file", output.shown}};
  if (facts.rows_kept && !facts.given_up) {
    return facts.reading
               ? Translate("{file} holds one row, of the triangles read before the stop", file)
               : Translate("{file} holds the whole rows before the stop", file);
  }
  return output.earlier ? Translate("{file} not written, the earlier one is kept", file)
                        : Translate("{file} not written", file);
}

}  // namespace

std::vector<StoppedOutput> DescribeOutputs(const std::string& main_output,
                                           const std::string& main_shown, int main_descriptor,
                                           const std::vector<std::string>& further) {
  std::vector<StoppedOutput> outputs;
  if (main_descriptor >= 0) {
    outputs.push_back({main_shown, true, false});
  } else {
    outputs.push_back(DescribeOutput(main_output, main_shown));
  }
  for (const std::string& name : further) outputs.push_back(DescribeOutput(name, name));
  return outputs;
}

std::string StopLine(const StopFacts& facts) {
  // The row in progress; one seen only after the last row is at the last.
  const std::int64_t row = std::min(facts.written + 1, std::max<std::int64_t>(facts.rows, 1));
  std::string line =
      facts.reading
          ? Translate("stopped while reading {input}", {{"input", facts.input}})
          : Translate("stopped at row {row} of {rows}",
                      {{"row", std::to_string(row)}, {"rows", std::to_string(facts.rows)}});
  for (const StoppedOutput& output : facts.outputs) line += "; " + Clause(facts, output);
  return line;
}

}  // namespace pelmoro::cli
