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

}  // namespace

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
