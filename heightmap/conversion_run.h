// One conversion run, shared by the window and the command line: reset the
// bounds, create the output, read the model, write the header, scan, close,
// and tell whether the run completed or was stopped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "engine/grid_units.h"
#include "engine/height_map_scan.h"
#include "engine/run_driver.h"
#include "engine/stl_format.h"
#include "foundation/errors.h"
#include "foundation/geometry_store.h"

namespace pelmoro {

inline constexpr char kCompleteMessage[] = "Complate !";
inline constexpr char kBreakMessage[] = "Break !";

// An output name that denotes the input file itself.
class EOutputIsInput : public Exception {
 public:
  explicit EOutputIsInput(const std::string& name);
};

struct ConversionRequest {
  ConversionRequest() = default;
  ConversionRequest(std::string input_name, std::string output_name, int pitch_units,
                    ScanOptions scan_options = {})
      : input(std::move(input_name)),
        output(std::move(output_name)),
        pitch(pitch_units),
        scan(scan_options) {}

  std::string input;   // STL file
  std::string output;  // height-map file, extension rule already applied
  int pitch = 4;       // grid units, 1..255
  ScanOptions scan;    // threads, or the plain reference scan
  int units = kGridUnitsPerMillimetre;  // grid units per unit of the model file
};

enum class RunOutcome { kComplete, kStopped };

struct ConversionResult {
  RunOutcome outcome = RunOutcome::kComplete;
  StlFormat format = StlFormat::kAscii;
  std::int32_t triangles = 0;  // complete triangles read
  std::int64_t columns = 0;    // points per row
  std::int64_t rows = 0;       // rows a complete scan writes
};

// Runs one conversion. on_output_created is called once the output exists,
// before the input is read (the window shows "Stop" from then on). The
// input may be an ASCII or a binary STL file; anything else is refused
// (ENotStlFile, ETruncatedStl) before it is read. Errors pass out after the
// output has been abandoned: an existing target is left as it was and no
// temporary file remains.
ConversionResult RunConversion(GeometryStore& store, const ConversionRequest& request,
                               RunDriver& driver,
                               const std::function<void()>& on_output_created = {});

// An error's message as the user reads it (the window's error box, the
// command line's stderr): with "." appended when the message is not empty
// and its last character sorts after ".". Messages are UTF-8, so every
// character beyond ASCII (a Japanese one too) gets the "." and ".", ")",
// "!", a space and the other characters below "." do not.
std::string ErrorBoxText(std::string_view message);

// The message a finished run reports.
inline const char* OutcomeMessage(RunOutcome outcome) {
  return outcome == RunOutcome::kComplete ? kCompleteMessage : kBreakMessage;
}

}  // namespace pelmoro
