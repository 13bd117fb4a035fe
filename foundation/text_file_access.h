// The one way into a text file's state, shared by the files that implement
// opening, reading and writing. Not for use outside the text-file code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/text_file.h"

namespace pelmoro {

// I/O codes of the wrong-state failures.
inline constexpr int kNotOpen = 103;
inline constexpr int kNotForReading = 104;
inline constexpr int kNotForWriting = 105;

struct TextFileAccess {
  static void Release(TextFile& f);
  static void Start(TextFile& f, FileHandle fd, TextMode mode, const FileStatus& status,
                    std::size_t capacity);
  // True when open; else leaves the code 103.
  static bool IsOpen(const TextFile& f) {
    if (f.mode_ != TextMode::kClosed) return true;
    SetPendingIoCode(kNotOpen);
    return false;
  }
  static bool Usable(TextFile& f, TextMode wanted);
  static std::size_t ReadInto(TextFile& f, char* into, std::size_t want);
  static std::size_t ReadBytes(TextFile& file, char* into, std::size_t want);
  static void Flush(TextFile& f);
  static void SyncWhileWriting(TextFile& f) {
    f.sync_while_writing_ = f.mode_ == TextMode::kWriting && f.is_regular_;
  }
  static void StartSync(TextFile& f);
  static void FinishSync(TextFile& f);
  static void OpenForReading(TextFile& file, const std::string& name);
  static void CreateForWriting(TextFile& file, const std::string& name);
  static void Attach(TextFile& file, FileHandle fd, const std::string& name);
  static void Close(TextFile& file);
  static std::int64_t SizeInBlocks(TextFile& file);
  static std::int64_t SizeInBytes(TextFile& file);
  static bool GivenUp(const TextFile& file) { return file.given_up_; }
  static std::int64_t PositionInBlocks(TextFile& file);
  static void Put(TextFile& file, std::string_view text);
  static void EndLine(TextFile& file);
  static std::uint64_t Taken(const TextFile& file) {
    return file.mode_ == TextMode::kWriting ? file.written_ + file.end_ : 0;
  }
  static bool TakeBack(TextFile& file, std::uint64_t bytes);
};

}  // namespace pelmoro
