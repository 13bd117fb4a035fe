// An unnamed scratch file for what an output must hold until the scan ends
// but need not keep in memory. It has no name from the start, so nothing is
// left behind however the run ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "os/env.h"
#include "outputs/files/disk_space.h"

namespace pelmoro {

class SpillFile {
 public:
  SpillFile() = default;
  ~SpillFile();
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;

  // Opens the file in the folder of near (where the output goes, so the
  // space it takes is counted where the user expects it), else in the
  // system's temporary folder. Every error names `near` with the operation
  // and errno behind it (IoErrorFromErrno): when neither folder works, the
  // creation in near's folder.
  void Open(const std::string& near);
  bool is_open() const { return fd_ != kNoFile; }
  // Appends bytes; raises EInOutError for a failed write (ENOSPC for a
  // write that took nothing).
  void Append(std::string_view bytes);
  // Bytes appended so far.
  std::uint64_t size() const { return size_; }
  // The room the file takes on its filesystem when it will hold at least
  // `bytes` bytes, for the output it was opened for; nothing when it is not
  // open.
  std::optional<SpaceClaim> ClaimSpace(std::uint64_t bytes) const;
  // Writes out what is still buffered; raises EInOutError for a failed
  // write.
  void Flush();
  // Reads size bytes from offset into out, from what Flush wrote out;
  // raises EInOutError for a failed read. Calls from several threads at
  // once are safe while nothing is appended.
  void ReadAt(std::uint64_t offset, char* out, std::size_t size) const;

 private:
  void WriteOut();

  FileHandle fd_ = kNoFile;
  std::string near_;  // for error messages
  std::vector<char> buffer_;
  std::size_t held_ = 0;  // bytes in buffer_ not yet written
  std::uint64_t size_ = 0;
};

}  // namespace pelmoro
