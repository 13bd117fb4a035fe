// The one-line progress display on a terminal's stderr.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace pelmoro::cli {

struct ProgressLine {
  const char* phase = "";  // "reading", "scanning"
  int percent = 0;         // clamped to 0..100 for the bar
  std::int64_t done = 0;   // triangles read or rows written
  std::int64_t total = 0;  // rows of the whole scan; 0 when unknown
  const char* unit = "";   // "triangles", "rows"
  double seconds = 0;      // since the file's run began
};

// The text of the line, at most width columns: a bar, the percent, the
// phase, the count and the time as m:ss.
std::string FormatProgressLine(const ProgressLine& line, int width);

class TerminalProgress {
 public:
  // Draws nothing unless enabled (stderr is a terminal and not --quiet).
  explicit TerminalProgress(bool enabled) : enabled_(enabled) {}
  bool enabled() const { return enabled_; }
  // Redraws the line, at most about ten times a second.
  void Show(const ProgressLine& line);
  // Erases the line, if one is drawn, so that messages start on a clean line.
  void Clear();

 private:
  bool enabled_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace pelmoro::cli
