// Large tables in anonymous mappings of their own: made of huge pages from
// 128 KiB on (fresh memory is costly to touch page by page), grown by
// remapping rather than copying, and given back whole.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>

namespace pelmoro {

// The huge page: tables of it or more are made of such pages.
inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// Resizes a table of old_bytes (nullptr for none) to new_bytes (0 frees it)
// and returns where it now is. Bytes past the old size read as zero.
// Raises std::bad_alloc when the mapping cannot be had.
void* ResizeMappedTable(void* table, std::size_t old_bytes, std::size_t new_bytes);

// Room for a fixed number of trivially copyable values in a mapping of
// their own; zero-filled until written.
template <typename T>
class MappedArray {
 public:
  MappedArray() = default;
  ~MappedArray() { Reset(0); }
  MappedArray(const MappedArray&) = delete;
  MappedArray& operator=(const MappedArray&) = delete;

  // Gives back what was held and makes room for n values; raises
  // std::bad_alloc when that room cannot be had (and then holds nothing).
  void Reset(std::size_t n) {
    ResizeMappedTable(data_, size_ * sizeof(T), 0);
    data_ = nullptr;
    size_ = 0;
    if (n == 0) return;
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    data_ = static_cast<T*>(ResizeMappedTable(nullptr, 0, n * sizeof(T)));
    size_ = n;
  }
  // Room for n values, each `value`.
  void Assign(std::size_t n, const T& value) {
    Reset(n);
    std::fill(data_, data_ + size_, value);
  }
  T* data() const { return data_; }
  T* begin() const { return data_; }
  T* end() const { return data_ + size_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](std::size_t i) const { return data_[i]; }

 private:
  T* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace pelmoro
