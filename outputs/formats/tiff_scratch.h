// The file libtiff writes, kept in an unnamed scratch file until it is
// complete and then copied into the output, which is written front to back
// only (and may be a pipe). libtiff writes forward, except for a few bytes
// it comes back to (the header's offset of the first directory once that
// directory is written at the end): those are kept in memory as patches
// over the scratch file's bytes, and laid over them when the file is read
// or copied.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/text_file.h"
#include "outputs/files/spill_file.h"

namespace pelmoro {

class TiffScratch {
 public:
  // near: where the output goes, for the scratch file and its errors.
  explicit TiffScratch(std::string near) : near_(std::move(near)) {}

  // The file calls, at the current position. What they raise is kept for
  // Rethrow, and they report a failure the way libtiff expects (-1, or a
  // short count) instead: nothing may be thrown through libtiff's C code.
  std::int64_t Write(const char* bytes, std::uint64_t count) noexcept;
  std::int64_t Read(char* into, std::uint64_t count) noexcept;
  // whence: SEEK_SET, SEEK_CUR or SEEK_END. Returns the new position.
  std::uint64_t Seek(std::int64_t offset, int whence) noexcept;
  std::uint64_t size() const { return end_; }

  // Raises what a file call kept, if any.
  void Rethrow() const;
  // The whole file, patches laid over, put onto out from its first byte.
  // Raises EInOutError for a failed read of the scratch file or write of
  // out.
  void CopyTo(TextFile& out);

 private:
  struct Patch {
    std::uint64_t offset;
    std::string bytes;
  };
  void Append(std::string_view bytes);
  void ReadBack(std::uint64_t offset, char* into, std::size_t count);

  std::string near_;
  SpillFile spill_;
  std::uint64_t end_ = 0;       // bytes in the file, the scratch file's and the patches'
  std::uint64_t position_ = 0;  // of the next call
  std::vector<Patch> patches_;  // in the order written: a later one wins
  std::exception_ptr failure_;
};

}  // namespace pelmoro
