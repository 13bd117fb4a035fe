#include "cli/terminal_progress.h"

#include <algorithm>
#include <cstdio>

#include "os/env.h"

namespace pelmoro::cli {

namespace {

constexpr int kBarWidth = 20;
constexpr int kDefaultWidth = 80;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

int TerminalWidth() {
  const int columns = CurrentEnv().TerminalColumns(2);
  return columns > 0 ? columns : kDefaultWidth;
}

void WriteAll(const std::string& text) {
  // A display that fails is no reason to fail the run.
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

std::string FormatProgressLine(const ProgressLine& line, int width) {
  const int percent = std::clamp(line.percent, 0, 100);
  const int filled = percent * kBarWidth / 100;
  std::string text = "[";
  text.append(static_cast<std::size_t>(filled), '#');
  text.append(static_cast<std::size_t>(kBarWidth - filled), '.');
  text += ']';
  const long minutes = static_cast<long>(line.seconds) / 60;
  const long seconds = static_cast<long>(line.seconds) % 60;
  char rest[160];
  if (line.total > 0) {
    std::snprintf(rest, sizeof rest, " %3d%%  %s  %lld/%lld %s  %ld:%02ld", percent, line.phase,
                  static_cast<long long>(line.done), static_cast<long long>(line.total), line.unit,
                  minutes, seconds);
  } else {
    std::snprintf(rest, sizeof rest, " %3d%%  %s  %lld %s  %ld:%02ld", percent, line.phase,
                  static_cast<long long>(line.done), line.unit, minutes, seconds);
  }
  text += rest;
  // One column is left free: a line that fills the terminal would wrap.
  // Cut at a character's first byte: a translated phase may hold UTF-8
  // sequences (and takes no more columns than bytes).
  if (width > 1 && static_cast<int>(text.size()) > width - 1) {
    std::size_t cut = static_cast<std::size_t>(width - 1);
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
  }
  return text;
}

void TerminalProgress::Show(const ProgressLine& line) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (drawn_ && now - last_ < kRedrawInterval) return;
  last_ = now;
  drawn_ = true;
  std::string text = "\r";
  text += FormatProgressLine(line, TerminalWidth());
  text += "\x1b[K";
  WriteAll(text);
}

void TerminalProgress::Clear() {
  if (!drawn_) return;
  WriteAll("\r\x1b[K");
  drawn_ = false;
}

}  // namespace pelmoro::cli
