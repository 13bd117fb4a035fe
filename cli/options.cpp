#include "cli/options.h"

#include <algorithm>
#include <charconv>

#include "cli/catalog.h"
#include "cli/gnu_options.h"
#include "cli/image_options.h"
#include "engine/read/model_units.h"
#include "engine/worker_threads.h"
#include "os/env.h"
#include "run/output_name.h"

namespace pelmoro::cli {

namespace {

int ParseThreads(const std::string& text) {
  int n = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || n < 1 || n > kMostThreads) {
    throw UsageError(Translate("--threads: '{text}' is not a whole number from 1 to {most}",
                               {{"text", text}, {"most", std::to_string(kMostThreads)}}));
  }
  return n;
}

std::string ParseUnits(const std::string& text) {
  if (FindModelUnit(text) != nullptr) return text;
  throw UsageError(
      Translate("--units: '{text}' is not one of mm, cm, m, in, ft", {{"text", text}}));
}

OutputFormat ParseFormat(const std::string& text) {
  if (const std::optional<OutputFormat> format = ParseFormatName(text)) return *format;
  throw UsageError(
      Translate("--format: '{text}' is not one of hzm, png, asc, tif", {{"text", text}}));
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

// One row per option: how it is written, and what it does with its value
// ("" for an option that takes none). --help and --version end the
// reading where they stand.
struct OptionRow {
  GnuOption option;
  void (*apply)(CliOptions& options, const std::string& value);
};

// An option of the images and grids, by its long name.
void ApplyImage(CliOptions& options, const char* name, const std::string& value) {
  ApplyImageOption(options.images, name, false, [&value] { return value; });
}

const OptionRow kOptionRows[] = {
    {{"pitch", 0, true},
     [](CliOptions& o, const std::string& v) {
       o.pitch_text = v;
       o.pitch_given = true;
     }},
    {{"output", 'o', true},
     [](CliOptions& o, const std::string& v) {
       o.output = v;
       o.output_given = true;
     }},
    {{"surface", 0, false}, [](CliOptions& o, const std::string&) { o.surface = true; }},
    {{"quiet", 'q', false}, [](CliOptions& o, const std::string&) { o.quiet = true; }},
    {{"threads", 0, true},
     [](CliOptions& o, const std::string& v) { o.threads = ParseThreads(v); }},
    {{"format", 0, true}, [](CliOptions& o, const std::string& v) { o.format = ParseFormat(v); }},
    {{"also", 0, true}, [](CliOptions& o, const std::string& v) { o.also.push_back(v); }},
    {{"preview", 0, true}, [](CliOptions& o, const std::string& v) { o.preview = v; }},
    {{"units", 0, true}, [](CliOptions& o, const std::string& v) { o.units = ParseUnits(v); }},
    {{"info", 0, false}, [](CliOptions& o, const std::string&) { o.info = true; }},
    {{"exact", 0, false}, [](CliOptions& o, const std::string&) { o.exact = true; }},
    {{"keep-partial", 0, false}, [](CliOptions& o, const std::string&) { o.keep_partial = true; }},
    {{"help", 'h', false}, [](CliOptions& o, const std::string&) { o.action = CliAction::kHelp; }},
    {{"version", 0, false},
     [](CliOptions& o, const std::string&) { o.action = CliAction::kVersion; }},
    {{"fill", 0, false}, [](CliOptions& o, const std::string& v) { ApplyImage(o, "--fill", v); }},
    {{"nodata", 0, false},
     [](CliOptions& o, const std::string& v) { ApplyImage(o, "--nodata", v); }},
    {{"invert", 0, false},
     [](CliOptions& o, const std::string& v) { ApplyImage(o, "--invert", v); }},
    {{"bounds", 0, true},
     [](CliOptions& o, const std::string& v) { ApplyImage(o, "--bounds", v); }},
    {{"width-px", 0, true},
     [](CliOptions& o, const std::string& v) { ApplyImage(o, "--width-px", v); }},
    {{"height-px", 0, true},
     [](CliOptions& o, const std::string& v) { ApplyImage(o, "--height-px", v); }},
    {{"png-levels", 0, true},
     [](CliOptions& o, const std::string& v) { ApplyImage(o, "--png-levels", v); }},
    {{"bit-depth", 0, true},
     [](CliOptions& o, const std::string& v) { ApplyImage(o, "--bit-depth", v); }},
    {{"bottom", 0, false}, [](CliOptions& o, const std::string&) { o.bottom = true; }},
    {{"shift", 0, true},
     [](CliOptions& o, const std::string& v) {
       o.shift = v;
       ShiftRequestFor(v, 1, true);  // the syntax; the unit is known later
     }},
    {{"crs", 0, true}, [](CliOptions& o, const std::string& v) { o.crs = v; }},
    {{"world-file", 0, false}, [](CliOptions& o, const std::string&) { o.world_file = true; }},
};

}  // namespace

CliOptions ParseCommandLine(int argc, const char* const* argv) {
  std::vector<GnuOption> forms;
  for (const OptionRow& row : kOptionRows) forms.push_back(row.option);
  CliOptions options;
  ReadGnuOptions(
      forms, argc, argv,
      [&](std::size_t row, const std::string& value) {
        kOptionRows[row].apply(options, value);
        return options.action == CliAction::kConvert;
      },
      [&](const std::string& input) { options.inputs.push_back(input); });
  if (options.action == CliAction::kConvert && options.inputs.empty()) {
    throw UsageError(Translate("no input file given"));
  }
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
    throw UsageError(Translate("--also and --preview name single files; they take a single input"));
  }
  std::vector<std::string> names = outputs;
  for (const OutputRequest& r : PlanFurtherOutputs(options)) {
    for (const std::string& name : names) {
      if (name == r.path) {
        throw UsageError(Translate("'{file}' is named twice as an output", {{"file", name}}));
      }
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

void AddGeoreferenceFiles(const CliOptions& options, const OutputRequest& output,
                          std::vector<OutputRequest>& further) {
  const auto beside = [&](const OutputRequest& r) -> std::optional<OutputRequest> {
    if (r.descriptor >= 0 || r.path == "-") return std::nullopt;
    const std::size_t dot = r.path.rfind('.');
    const std::size_t slash = r.path.rfind('/');
    const bool has_extension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = has_extension ? r.path.substr(0, dot) : r.path;
    if (options.world_file && r.format == OutputFormat::kPng)
      return OutputRequest{stem + ".pgw", OutputFormat::kWorld};
    if (!options.crs.empty() && r.format == OutputFormat::kAsc)
      return OutputRequest{stem + ".prj", OutputFormat::kPrj};
    return std::nullopt;
  };
  std::vector<OutputRequest> files;
  if (auto file = beside(output)) files.push_back(*file);
  for (const OutputRequest& r : further) {
    if (auto file = beside(r)) files.push_back(*file);
  }
  further.insert(further.end(), files.begin(), files.end());
}

std::vector<std::string> PlanOutputs(const CliOptions& options) {
  std::vector<std::string> outputs;
  const bool into_folder = options.output_given && IsFolder(options.output);
  if (options.output_given && !into_folder && options.inputs.size() > 1) {
    throw UsageError(
        Translate("-o names a single output; with several inputs it must be an existing folder"));
  }
  if (std::count(options.inputs.begin(), options.inputs.end(), "-") > 1) {
    throw UsageError(Translate("standard input (-) can be read only once"));
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
