#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <string_view>

#include "cli/image_options.h"
#include "engine/read/model_units.h"
#include "engine/worker_threads.h"
#include "os/env.h"
#include "run/output_name.h"

namespace pelmoro::cli {

namespace {

// Splits "--name=value" into name and value; has_value tells whether "="
// was there.
struct Argument {
  std::string_view name;
  std::string_view value;
  bool has_value = false;
};

Argument SplitArgument(std::string_view arg) {
  const std::size_t eq = arg.find('=');
  if (arg.rfind("--", 0) != 0 || eq == std::string_view::npos) return {arg, {}, false};
  return {arg.substr(0, eq), arg.substr(eq + 1), true};
}

int ParseThreads(std::string_view text) {
  int n = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || n < 1 || n > kMostThreads) {
    throw UsageError("--threads needs a whole number from 1 to " + std::to_string(kMostThreads) +
                     ", not '" + std::string(text) + "'");
  }
  return n;
}

std::string ParseUnits(const std::string& text) {
  if (FindModelUnit(text) != nullptr) return text;
  throw UsageError("--units needs one of mm, cm, m, in, ft, not '" + text + "'");
}

bool IsFolder(const std::string& path) {
  FileStatus status;
  return CurrentEnv().StatPath(path, &status) && status.kind == FileKind::kFolder;
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The save dialog hands back its proposal as a full path, so a proposal
// without a folder (just "hzm", for an input without any ".") meets the
// extension rule with a folder in front of it.
std::string ApplyRuleInFolder(const std::string& proposal) {
  if (proposal.find('/') != std::string::npos) return ApplyExtensionRule(proposal);
  return ApplyExtensionRule("./" + proposal).substr(2);
}

}  // namespace

namespace {

void RefuseValue(const Argument& a) {
  if (a.has_value) throw UsageError(std::string(a.name) + " takes no value");
}

// Applies one option; false when the reading ends here (--help, --version).
// value() gives the option's value: after "=", or the next argument, which
// may itself begin with "-" (a negative pitch is refused by the pitch check).
bool ApplyOption(CliOptions& options, const Argument& a,
                 const std::function<std::string()>& value) {
  if (a.name == "--help" || a.name == "-h" || a.name == "--version") {
    options.action = a.name == "--version" ? CliAction::kVersion : CliAction::kHelp;
    return false;
  }
  if (a.name == "--pitch") {
    options.pitch_text = value();
    options.pitch_given = true;
  } else if (a.name == "-o" || a.name == "--output") {
    options.output = value();
    options.output_given = true;
  } else if (a.name.substr(0, 2) == "-o") {  // -oOUTPUT
    options.output = std::string(a.name.substr(2));
    options.output_given = true;
  } else if (a.name == "--surface") {
    RefuseValue(a);
    options.surface = true;
  } else if (a.name == "--quiet" || a.name == "-q") {
    RefuseValue(a);
    options.quiet = true;
  } else if (a.name == "--threads") {
    options.threads = ParseThreads(value());
  } else if (a.name == "--format") {
    const std::string text = value();
    options.format = ParseFormatName(text);
    if (!options.format) throw UsageError("--format takes hzm, png or asc, not '" + text + "'");
  } else if (a.name == "--also") {
    options.also.push_back(value());
  } else if (a.name == "--preview") {
    options.preview = value();
  } else if (a.name == "--units") {
    options.units = ParseUnits(value());
  } else if (ApplyImageOption(options.images, a.name, a.has_value, value)) {
    // an option of the images and grids
  } else if (a.name == "--info") {
    RefuseValue(a);
    options.info = true;
  } else if (a.name == "--exact") {
    RefuseValue(a);
    options.exact = true;
  } else {
    throw UsageError("unknown option '" + std::string(a.name) + "'");
  }
  return true;
}

}  // namespace

CliOptions ParseCommandLine(int argc, const char* const* argv) {
  CliOptions options;
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options_end || arg == "-" || arg.empty() || arg.front() != '-') {
      options.inputs.emplace_back(arg);
    } else if (arg == "--") {
      options_end = true;
    } else {
      const Argument a = SplitArgument(arg);
      auto value = [&]() -> std::string {
        if (a.has_value) return std::string(a.value);
        if (i + 1 >= argc) throw UsageError(std::string(a.name) + " needs a value");
        return argv[++i];
      };
      if (!ApplyOption(options, a, value)) return options;
    }
  }
  if (options.inputs.empty()) throw UsageError("no input file given");
  return options;
}

namespace {

// A proposed name ("part.hzm") for the format of --format ("part.png").
std::string InFormat(std::string name, const CliOptions& options) {
  if (!options.format) return name;
  return name.substr(0, name.size() - 3) + std::string(ExtensionOf(*options.format));
}

void CheckFurtherOutputs(const CliOptions& options, const std::vector<std::string>& outputs) {
  if (options.also.empty() && options.preview.empty()) return;
  if (options.inputs.size() > 1) {
    throw UsageError("--also and --preview name single files; they take a single input");
  }
  std::vector<std::string> names = outputs;
  for (const OutputRequest& r : PlanFurtherOutputs(options)) {
    for (const std::string& name : names) {
      if (name == r.path) throw UsageError("'" + name + "' is named twice as an output");
    }
    names.push_back(r.path);
  }
}

}  // namespace

std::vector<OutputRequest> PlanFurtherOutputs(const CliOptions& options) {
  std::vector<OutputRequest> further;
  for (const std::string& name : options.also) further.push_back({name, FormatOfName(name)});
  if (!options.preview.empty()) further.push_back({options.preview, OutputFormat::kPreview});
  return further;
}

std::vector<std::string> PlanOutputs(const CliOptions& options) {
  std::vector<std::string> outputs;
  const bool into_folder = options.output_given && IsFolder(options.output);
  if (options.output_given && !into_folder && options.inputs.size() > 1) {
    throw UsageError("-o names a single output; with several inputs it must be an existing folder");
  }
  if (std::count(options.inputs.begin(), options.inputs.end(), "-") > 1) {
    throw UsageError("standard input (-) can be read only once");
  }
  for (const std::string& input : options.inputs) {
    if (input == "-" && (!options.output_given || into_folder)) {
      outputs.push_back("-");  // standard input has no name to give its map one
    } else if (!options.output_given) {
      outputs.push_back(InFormat(ApplyRuleInFolder(ProposeOutputName(input)), options));
    } else if (into_folder) {
      std::string folder = options.output;
      if (folder.back() != '/') folder += '/';
      outputs.push_back(
          InFormat(ApplyExtensionRule(folder + ProposeOutputName(FileNameOf(input))), options));
    } else {
      outputs.push_back(options.output);
    }
  }
  CheckFurtherOutputs(options, outputs);
  return outputs;
}

}  // namespace pelmoro::cli
