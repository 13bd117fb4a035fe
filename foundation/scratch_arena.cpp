#include "foundation/scratch_arena.h"

namespace pelmoro {

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}  // namespace

ScratchArena::ScratchArena(std::size_t bytes) {
  if (bytes == 0) return;
  const std::size_t pages = (bytes - 1) / kHugePage + 1;
  try {
    space_.Reset(pages * kHugePage);
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
