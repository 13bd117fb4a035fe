// The stl2hzm command line: what it asks for, and where the outputs go.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/image_options.h"
#include "run/output_format.h"

namespace pelmoro::cli {

enum class CliAction { kConvert, kHelp, kVersion };

struct CliOptions {
  CliAction action = CliAction::kConvert;
  bool pitch_given = false;
  std::string pitch_text;  // millimetres, as typed
  bool surface = false;
  bool bottom = false;  // --bottom: the model seen from below
  bool output_given = false;
  std::string output;
  bool quiet = false;
  int threads = 0;                     // worker threads for the scan; 0: one per core
  std::optional<OutputFormat> format;  // --format; else the output's name decides
  std::vector<std::string> also;       // --also: more outputs of the same scan
  std::string preview;                 // --preview: the shaded picture, if asked for
  std::string units = "mm";            // the unit of the model files' coordinates (--units)
  bool info = false;                   // --info: report on each model, write nothing
  bool exact = false;                  // --exact: --info scans for the exact size
  bool keep_partial = false;           // --keep-partial: a stop puts the rows so far in place
  ImageOptions images;                 // --png-levels, --bit-depth, --bounds ...
  std::string shift;                   // --shift auto|X,Y, as typed
  std::string crs;                     // --crs EPSG:N, as typed
  ReferenceSystem crs_system;          // what --crs names, once looked up
  bool world_file = false;             // --world-file: a .pgw beside each PNG
  std::vector<std::string> inputs;
};

// A command line that cannot be carried out; what() says why.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads argv[1..argc-1]. --help and --version end the reading where they
// stand. Raises UsageError for an unknown option, a missing value, a bad
// thread count, an unknown unit or no input.
CliOptions ParseCommandLine(int argc, const char* const* argv);

// Pairs each input with its output: without -o the name proposed after the
// input with the extension rule applied; with -o naming an existing folder,
// that name placed in the folder; otherwise -o itself, which then allows
// only one input (UsageError). A name made after the input ends in the
// extension of --format when that is given. --also and --preview, which
// name single files, allow only one input, and no name twice. The input "-"
// (standard input, allowed once) goes to "-", standard output, unless -o
// names a file.
std::vector<std::string> PlanOutputs(const CliOptions& options);

// The further outputs of the run: --also files in the format their names
// say, then the preview.
std::vector<OutputRequest> PlanFurtherOutputs(const CliOptions& options);

// The files beside the outputs of one run (output and further) that GIS
// programs read with them: with --world-file a .pgw beside each PNG, with
// --crs a .prj beside each ESRI grid, named after it. None beside standard
// output. Appended to further.
void AddGeoreferenceFiles(const CliOptions& options, const OutputRequest& output,
                          std::vector<OutputRequest>& further);

}  // namespace pelmoro::cli
