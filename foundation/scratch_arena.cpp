#include "foundation/scratch_arena.h"

#include <algorithm>

namespace pelmoro {

ScratchArena::ScratchArena(std::size_t bytes) {
  if (bytes == 0) return;
  try {
    space_.Reset(std::max(bytes, kHugePageBytes));  // made of huge pages from one on
  } catch (const std::bad_alloc&) {
    // Nothing held: every piece comes from the heap.
  }
}

void* ScratchArena::Allocate(std::size_t bytes, std::size_t alignment) noexcept {
  std::size_t used = used_.load(std::memory_order_relaxed);
  for (;;) {
    const std::size_t start = (used + alignment - 1) & ~(alignment - 1);
    if (start > space_.size() || bytes > space_.size() - start) return nullptr;
    if (used_.compare_exchange_weak(used, start + bytes, std::memory_order_relaxed)) {
      return space_.data() + start;
    }
  }
}

}  // namespace pelmoro
