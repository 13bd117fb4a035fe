// Room for a few long-lived buffers that are filled as soon as they are
// made (the chunks a reading cycles through): one mapping of huge pages,
// handed out front to back and given back only whole. Fresh memory costs a
// fault a page to touch here, and a huge page takes one fault for 512 of
// them. What does not fit comes from the heap as usual.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "foundation/mapped_table.h"

namespace pelmoro {

class ScratchArena {
 public:
  // At least `bytes`, and one huge page; an arena of 0 bytes, or one
  // whose mapping cannot be had, holds nothing, and everything then comes
  // from the heap.
  explicit ScratchArena(std::size_t bytes);
  ScratchArena(const ScratchArena&) = delete;
  ScratchArena& operator=(const ScratchArena&) = delete;

  // The next `bytes` at a multiple of `alignment` (a power of two up to 64),
  // or nullptr when they do not fit. Any thread may call it.
  void* Allocate(std::size_t bytes, std::size_t alignment) noexcept;
  bool Holds(const void* p) const noexcept {
    const auto* b = static_cast<const std::byte*>(p);
    return b >= space_.data() && b < space_.data() + space_.size();
  }

 private:
  MappedArray<std::byte> space_;
  std::atomic<std::size_t> used_{0};
};

// Allocates from an arena (none: the heap), falling back to the heap when it
// is full. Allocators of the same arena are equal and free each other's
// pieces: arena pieces are never freed one by one, heap pieces are told by
// their address. The arena must outlive every container that uses it.
template <typename T>
class ArenaAllocator {
 public:
  using value_type = T;

  ArenaAllocator() = default;
  explicit ArenaAllocator(ScratchArena* arena) : arena_(arena) {}
  template <typename U>
  ArenaAllocator(const ArenaAllocator<U>& other) : arena_(other.arena()) {}

  T* allocate(std::size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
    if (arena_ != nullptr) {
      if (void* p = arena_->Allocate(n * sizeof(T), alignof(T))) return static_cast<T*>(p);
    }
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, std::size_t n) noexcept {
    if (arena_ != nullptr && arena_->Holds(p)) return;
    std::allocator<T>().deallocate(p, n);
  }

  ScratchArena* arena() const { return arena_; }
  template <typename U>
  bool operator==(const ArenaAllocator<U>& other) const {
    return arena_ == other.arena();
  }

 private:
  ScratchArena* arena_ = nullptr;
};

}  // namespace pelmoro
