// A whole file mapped read-only, for comparing large outputs without
// copying them. Shared by the tests and the benchmarks.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelmoro::testing {

class MappedFile {
 public:
  // An empty view when the file cannot be opened or mapped (or is empty).
  explicit MappedFile(const std::string& path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  std::string_view bytes() const { return {data_ == nullptr ? "" : data_, size_}; }

 private:
  const char* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace pelmoro::testing
