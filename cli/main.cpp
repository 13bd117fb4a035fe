// stl2hzm: converts STL models (ASCII or binary) into HZM height maps from
// the command line, one input after another, through the same run as the
// window.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli/catalog.h"
#include "cli/cli_driver.h"
#include "cli/error_text.h"
#include "cli/help.h"
#include "cli/model_report.h"
#include "cli/options.h"
#include "cli/output_conflicts.h"
#include "cli/output_kinds.h"
#include "cli/signals.h"
#include "cli/stop_report.h"
#include "cli/terminal_progress.h"
#include "engine/read/model_extent.h"
#include "engine/read/model_units.h"
#include "foundation/numbers.h"
#include "os/env.h"
#include "outputs/files/output_file.h"
#include "outputs/formats/grid_millimetres.h"
#include "outputs/formats/reference_system.h"
#include "run/conversion_run.h"
#include "run/map_outputs.h"
#include "run/messages.h"
#include "run/model_info.h"
#include "run/pitch.h"

namespace pelmoro::cli {
namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitStopped = 130;  // 128 + SIGINT, as a shell reports Ctrl-C

enum class FileOutcome { kConverted, kFailed, kStopped };

void PrintError(const std::string& file, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", file.c_str(),
               ForTerminal(ErrorBoxText(TranslateMessage(message))).c_str());
}

void PrintError(const std::string& file, const Exception& error) {
  std::fprintf(stderr, "%s\n", ErrorLine(error, file).c_str());
}

// "-" stands for standard input or output, and messages call it so.
constexpr char kStandardStream[] = "-";
constexpr int kStandardOutput = 1;

std::string InputShown(const ConversionRequest& request) {
  return request.input == CurrentEnv().StandardInputName() ? Translate("standard input")
                                                           : request.input;
}
std::string OutputShown(const ConversionRequest& request) {
  return request.output_descriptor >= 0 ? Translate("standard output") : request.output;
}

void PrintSummary(const ConversionRequest& request, const ConversionResult& result,
                  double seconds) {
  std::string outputs = OutputShown(request);
  for (const OutputRequest& also : request.also) outputs += ", " + also.path;
  char time[32];
  std::snprintf(time, sizeof time, "%.2f", seconds);
  // A pitch chosen for a size in points is news.
  const bool chosen = request.images.width_px > 0 || request.images.height_px > 0;
  const std::string input = InputShown(request);
  const std::string triangles = std::to_string(result.triangles);
  const std::string columns = std::to_string(result.lattice.columns);
  const std::string rows = std::to_string(result.lattice.rows);
  const std::string pitch = FormatMillimetres(result.lattice.pitch);
  const std::string line =
      chosen ? Translate(
                   "{input}: {triangles} triangles, {columns} x {rows} points at a pitch of "
                   "{pitch} mm -> {outputs} ({time} s)",
                   {{"input", input},
                    {"triangles", triangles},
                    {"columns", columns},
                    {"rows", rows},
                    {"pitch", pitch},
                    {"outputs", outputs},
                    {"time", time}})
             : Translate(
                   "{input}: {triangles} triangles, {columns} x {rows} points -> {outputs} "
                   "({time} s)",
                   {{"input", input},
                    {"triangles", triangles},
                    {"columns", columns},
                    {"rows", rows},
                    {"outputs", outputs},
                    {"time", time}});
  std::fprintf(stderr, "%s\n", line.c_str());
}

// After the summary: what the reading left unread, or a size that suggests
// another unit.
void PrintModelNotes(const GeometryStore& store, const ConversionRequest& request,
                     const ConversionResult& result) {
  for (const std::string& line :
       WarningLines(InputShown(request), result.notes, result.triangles)) {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
  if (result.triangles == 0) return;
  const std::string advice =
      SizeAdvice(MeasureModelExtent(store, result.triangles), ModelUnitOf(request.units));
  if (!advice.empty()) {
    std::fprintf(stderr, "%s: %s\n", InputShown(request).c_str(), advice.c_str());
  }
}

// The input for errors of the reading, the output for the others.
std::string FileConcerned(const ConversionRequest& request, RunStage stage) {
  return stage == RunStage::kReading ? InputShown(request) : OutputShown(request);
}

// Whether the main output goes to a device or a pipe (standard output
// included), which no disk's size limits.
bool OutputIsStream(const ConversionRequest& request) {
  FileStatus status;
  return request.output_descriptor >= 0 ||
         (CurrentEnv().StatPath(request.output, &status) && IsStream(status.kind));
}

// "Break !" and what the stop left of each output.
void PrintStop(StopFacts facts, const ConversionRequest& request,
               const std::vector<StoppedOutput>& outputs) {
  facts.input = InputShown(request);
  facts.rows_kept = request.stop_keeps_rows;
  facts.outputs = outputs;
  std::fprintf(stderr, "%s\n%s\n", kBreakMessage, StopLine(facts).c_str());
}

// A failure that a stop caused (a write given up), which is told as the
// stop; the driver knows how far the run came.
FileOutcome StopFailed(const CliDriver& driver, const ConversionRequest& request,
                       const std::vector<StoppedOutput>& outputs) {
  StopFacts facts;
  facts.reading = driver.stage() == RunStage::kReading;
  facts.written = driver.rows_done();
  facts.rows = driver.total_rows();
  facts.given_up = true;
  PrintStop(facts, request, outputs);
  return FileOutcome::kStopped;
}

FileOutcome ConvertOne(GeometryStore& store, const ConversionRequest& asked,
                       const CliOptions& options, TerminalProgress& progress) {
  CliDriver driver(options.surface, progress);
  ConversionRequest request = asked;
  if (!options.quiet && OutputIsStream(request)) {
    request.scan_starting = [&](const Lattice& lattice, const GeometryStore& s,
                                std::int32_t triangles) {
      progress.Clear();
      std::fputs(StreamStartText(InputShown(request), lattice, MeasureModelExtent(s, triangles),
                                 OutputShown(request))
                     .c_str(),
                 stderr);
    };
  }
  std::vector<std::string> further;
  for (const OutputRequest& also : request.also) further.push_back(also.path);
  const std::vector<StoppedOutput> outputs =
      DescribeOutputs(request.output, OutputShown(request), request.output_descriptor, further);
  try {
    const ConversionResult result = RunConversion(store, request, driver);
    progress.Clear();
    if (result.outcome == RunOutcome::kStopped) {
      StopFacts facts;
      facts.reading = result.stopped_reading;
      facts.written = result.rows_written;
      facts.rows = result.lattice.rows;
      PrintStop(facts, request, outputs);
      return FileOutcome::kStopped;
    }
    if (!options.quiet) {
      PrintSummary(request, result, driver.Seconds());
      PrintModelNotes(store, request, result);
    }
    return FileOutcome::kConverted;
  } catch (const ENotEnoughSpace& e) {
    progress.Clear();
    PrintError(e.file() == request.output ? OutputShown(request) : e.file(), e);
  } catch (const EOutputError& e) {
    progress.Clear();
    // A call given up for a termination fails; the termination is the news.
    if (TerminationSignal() != 0) return StopFailed(driver, request, outputs);
    PrintError(e.file() == request.output ? OutputShown(request) : e.file(), e);
  } catch (const Exception& e) {
    progress.Clear();
    if (TerminationSignal() != 0) return StopFailed(driver, request, outputs);
    PrintError(FileConcerned(request, driver.stage()), e);
  } catch (const std::bad_alloc&) {
    progress.Clear();
    PrintError(InputShown(request), kNotEnoughMemoryMessage);
  } catch (const std::exception& e) {  // from the system, such as a thread refused
    progress.Clear();
    PrintError(FileConcerned(request, driver.stage()), e.what());
  }
  return FileOutcome::kFailed;
}

// --info: reads the model and prints what its conversion would give.
FileOutcome InspectOne(GeometryStore& store, const ConversionRequest& request,
                       const CliOptions& options, TerminalProgress& progress) {
  CliDriver driver(options.surface, progress);
  try {  // nothing is created: every error concerns the input
    const ModelInfo info = InspectModel(store, request, driver, options.exact);
    progress.Clear();
    if (info.stopped) {
      std::fprintf(stderr, "%s\n", kBreakMessage);
      return FileOutcome::kStopped;
    }
    std::fputs(InfoText(InputShown(request), info, request.pitch).c_str(), stdout);
    const std::string advice = SizeAdvice(info.extent, ModelUnitOf(request.units));
    if (!advice.empty()) {
      std::printf("%s\n", Translate("  note: {advice}", {{"advice", advice}}).c_str());
    }
    return FileOutcome::kConverted;
  } catch (const Exception& e) {
    progress.Clear();
    if (TerminationSignal() != 0) {  // a read given up for it
      std::fprintf(stderr, "%s\n", kBreakMessage);
      return FileOutcome::kStopped;
    }
    PrintError(InputShown(request), e);
  } catch (const std::bad_alloc&) {
    progress.Clear();
    PrintError(InputShown(request), kNotEnoughMemoryMessage);
  }
  return FileOutcome::kFailed;
}

// The end of a stopped batch: the status of Ctrl-C, or the end the other
// signals give.
int EndStopped() {
  if (TerminationSignal() != 0) EndBySignal(TerminationSignal());
  return kExitStopped;
}

// Converts the inputs in turn (or, with --info, inspects them), all through
// one geometry store.
int RunBatch(const CliOptions& options, const std::vector<std::string>& outputs, int pitch) {
  TerminalProgress progress(!options.quiet && CurrentEnv().IsTerminal(2));
  GeometryStore store;
  int exit_code = 0;
  for (std::size_t i = 0; i < options.inputs.size(); ++i) {
    // A stop that came too late to stop the input before still stops the
    // batch.
    if (StopSignal() != 0) {
      std::fprintf(stderr, "%s\n", kBreakMessage);
      return EndStopped();
    }
    ConversionRequest request;
    request.input =
        options.inputs[i] == kStandardStream ? CurrentEnv().StandardInputName() : options.inputs[i];
    if (!options.info) request.output = outputs[i];
    if (request.output == kStandardStream) request.output_descriptor = kStandardOutput;
    request.pitch = pitch;
    request.scan.threads = options.threads;
    request.scan.side = options.bottom ? ScanSide::kBottom : ScanSide::kTop;
    request.format = options.format.value_or(FormatOfName(request.output));
    request.also = PlanFurtherOutputs(options);
    request.units = FindModelUnit(options.units)->grid_units;
    request.images = ImageSettingsFor(options.images, request.units);
    request.images.crs = options.crs_system;
    request.shift = ShiftRequestFor(options.shift, request.units);
    AddGeoreferenceFiles(options, {request.output, request.format, request.output_descriptor},
                         request.also);
    request.stop_keeps_rows = options.keep_partial;
    const FileOutcome outcome = options.info ? InspectOne(store, request, options, progress)
                                             : ConvertOne(store, request, options, progress);
    switch (outcome) {
      case FileOutcome::kConverted:
        break;
      case FileOutcome::kFailed:
        exit_code = kExitFailed;
        break;
      case FileOutcome::kStopped:
        return EndStopped();
    }
  }
  // A stop while the last input's maps reached the disk came too late to
  // stop anything: the batch is complete.
  if (options.info && std::fflush(stdout) != 0) return kExitFailed;
  return exit_code;
}

int UsageFailure(const std::string& why) {
  std::fprintf(stderr, "stl2hzm: %s\n%s\n", why.c_str(),
               Translate("Try 'stl2hzm --help' for more information.").c_str());
  return kExitUsage;
}

// "." is always a decimal point on the command line, where scripts write
// numbers; the locale's own separator is taken as well.
char PitchSeparator(const std::string& text) {
  return text.find('.') != std::string::npos ? '.' : DecimalSeparator();
}

int Main(int argc, const char* const* argv) {
  ProtectMessageOutput();
  OpenMessageCatalog();
  SetDecimalSeparator(LocaleDecimalSeparator());
  CliOptions options;
  std::vector<std::string> outputs;
  try {
    options = ParseCommandLine(argc, argv);
    if (options.action == CliAction::kConvert && !options.info) {
      outputs = PlanOutputs(options);
      RefuseUnknownFormats(options, outputs);
      RefuseSharedOutputs(options.inputs, outputs);
      RefuseOneFileTwice(options, outputs);
    }
    // Refused before anything is read: a shift no grid unit takes, a
    // reference system PROJ does not know.
    ShiftRequestFor(options.shift, FindModelUnit(options.units)->grid_units);
    if (!options.crs.empty()) {
      try {
        options.crs_system = FindReferenceSystem(options.crs);
      } catch (const Exception& e) {
        throw UsageError("--crs: " + e.message());
      }
    }
  } catch (const UsageError& e) {
    return UsageFailure(e.what());
  }
  if (options.action != CliAction::kConvert) {
    std::fputs((options.action == CliAction::kHelp ? HelpText() : VersionText()).c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : kExitFailed;
  }
  int pitch = kDefaultPitch;
  const ImageSettings& images = options.images.settings;
  if (options.pitch_given && (images.width_px > 0 || images.height_px > 0)) {
    return UsageFailure("--pitch and --width-px or --height-px each choose the pitch; give one");
  }
  if (options.pitch_given) {
    const PitchResult parsed =
        ParsePitchText(options.pitch_text, PitchSeparator(options.pitch_text));
    if (parsed.pitch == 0) {
      // The window's "Error!" boxes; here the GNU form, with the value.
      return UsageFailure(
          Translate("--pitch: '{text}' is not a number of millimetres from 0.025 to 6.375",
                    {{"text", options.pitch_text}}));
    }
    pitch = parsed.pitch;
  }
  InstallSignalHandlers();
  return RunBatch(options, outputs, pitch);
}

}  // namespace
}  // namespace pelmoro::cli

int main(int argc, char** argv) {
  // UTF-8 arguments on every system.
  const std::vector<std::string> arguments = pelmoro::CurrentEnv().Arguments(argc, argv);
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  pointers.push_back(nullptr);
  return pelmoro::cli::Main(static_cast<int>(arguments.size()), pointers.data());
}
