// A file read as raw bytes in large chunks (binary models, format checks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/errors.h"
#include "os/env.h"

namespace pelmoro {

class BinaryInput {
 public:
  // Opens an existing file for reading. Raises EInOutError with the codes
  // of text files: 2 missing, 3 missing folder, 5 no access or a folder.
  explicit BinaryInput(const std::string& name);
  ~BinaryInput();
  BinaryInput(const BinaryInput&) = delete;
  BinaryInput& operator=(const BinaryInput&) = delete;

  // The size in bytes when opened (for a pipe or device: 0).
  std::uint64_t size() const { return size_; }
  // False for a pipe or a device, which cannot be read twice.
  bool is_regular() const { return is_regular_; }
  // Reads up to `bytes` bytes, fewer only at the end of the file; raises
  // EInOutError when a read fails.
  std::size_t Read(char* into, std::size_t bytes);

 private:
  [[noreturn]] void Fail(IoOperation operation, int error) const;

  std::string name_;
  FileHandle fd_ = kNoFile;
  std::uint64_t size_ = 0;
  bool is_regular_ = false;
};

}  // namespace pelmoro
