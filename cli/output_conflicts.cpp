#include "cli/output_conflicts.h"

#include <filesystem>
#include <map>

#include "cli/catalog.h"
#include "cli/options.h"
#include "foundation/errors.h"
#include "os/env.h"
#include "outputs/files/output_target.h"

namespace pelmoro::cli {

namespace {

namespace fs = std::filesystem;

// What tells two outputs apart: "@device:inode" for a file that exists, else
// the file's name once its links and folder are resolved.
std::string OutputIdentity(const std::string& output) {
  FileStatus status;
  if (CurrentEnv().StatPath(output, &status) && status.identified) {
    // Built by appending: "@" + a temporary trips GCC 12's -Wrestrict at -O3.
    std::string identity = "@";
    identity += std::to_string(status.volume);
    identity += ':';
    identity += std::to_string(status.index);
    return identity;
  }
  fs::path destination = output;
  try {
    destination = ResolveOutputTarget(output).destination;
  } catch (const Exception&) {
    // A link loop: the run reports it; the name is identity enough.
  }
  std::error_code ec;
  const fs::path absolute = fs::absolute(destination, ec);
  if (ec) return destination.lexically_normal().string();
  const fs::path folder = fs::canonical(absolute.parent_path(), ec);
  if (ec) return absolute.lexically_normal().string();
  return (folder / absolute.filename()).string();
}

// An output's identity; standard output ("-") is the file it stands for.
std::string NamedOutputIdentity(const std::string& output) {
  return OutputIdentity(output == "-" ? "/dev/stdout" : output);
}

// The identity of an input that could be lost by writing over it: an
// existing regular file's; none ("") for standard input, a pipe, a device
// or a name that does not exist.
std::string InputIdentity(const std::string& input) {
  FileStatus status;
  if (input == "-" || !CurrentEnv().StatPath(input, &status)) return {};
  if (status.kind != FileKind::kRegular) return {};
  return OutputIdentity(input);
}

}  // namespace

void RefuseOneFileTwice(const CliOptions& options, const std::vector<std::string>& outputs) {
  std::vector<std::string> names = outputs;
  for (const OutputRequest& r : PlanFurtherOutputs(options)) names.push_back(r.path);
  std::map<std::string, std::string> inputs;  // identity, spelling
  for (const std::string& input : options.inputs) {
    if (std::string identity = InputIdentity(input); !identity.empty()) {
      inputs.emplace(std::move(identity), input);
    }
  }
  std::map<std::string, std::string> seen;  // identity, the first spelling
  for (const std::string& name : names) {
    const std::string identity = NamedOutputIdentity(name);
    if (const auto input = inputs.find(identity); input != inputs.end()) {
      throw UsageError(Translate("the output '{output}' and the input '{input}' are one file",
                                 {{"output", name}, {"input", input->second}}));
    }
    const auto [earlier, fresh] = seen.emplace(identity, name);
    if (!fresh) {
      throw UsageError(Translate("the outputs '{first}' and '{second}' are one file",
                                 {{"first", earlier->second}, {"second", name}}));
    }
  }
}

void RefuseSharedOutputs(const std::vector<std::string>& inputs,
                         const std::vector<std::string>& outputs) {
  std::map<std::string, std::size_t> first_writer;
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const auto [earlier, fresh] = first_writer.emplace(OutputIdentity(outputs[i]), i);
    if (fresh) continue;
    throw UsageError(Translate(
        "{first} and {second} would both write {output}",
        {{"first", inputs[earlier->second]}, {"second", inputs[i]}, {"output", outputs[i]}}));
  }
}

}  // namespace pelmoro::cli
