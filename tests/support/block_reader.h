// The reader the text files' block counts are defined by: it asks the system
// for 128 bytes at a time, and only when it must look at a byte it does not
// hold. Shared by the text-file tests and the line-reader fuzz target.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace pelmoro::testing {

class BlockReader {
 public:
  explicit BlockReader(const std::string& path);
  ~BlockReader();
  BlockReader(const BlockReader&) = delete;
  BlockReader& operator=(const BlockReader&) = delete;

  // No byte left, or a Ctrl-Z (byte 26) where the next line would begin.
  bool AtEnd();
  // The next line without its terminator (LF, CR LF, or a lone CR).
  std::string ReadLine();
  // Bytes taken from the system so far / 128.
  std::int64_t Position() const { return taken_ / 128; }

 private:
  bool Have();
  int fd_;
  char buf_[128];
  ssize_t pos_ = 0, fill_ = 0;
  std::int64_t taken_ = 0;
};

}  // namespace pelmoro::testing
