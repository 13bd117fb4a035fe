#include "foundation/mapped_table.h"

#include <cstring>
#include <new>

#include "os/env.h"

namespace pelmoro {

namespace {

// The bytes a table's mapping takes: whole pages, and from 128 KiB on whole
// huge pages where the system has them, so that it can be made of them (a
// huge page is cleared in less time than 32 faults take here).
std::size_t MappedBytes(Env& env, std::size_t bytes) {
  const std::size_t huge = env.HugePageBytes();
  const std::size_t unit = huge != 0 && bytes >= huge / 16 ? huge : env.PageBytes();
  return (bytes + unit - 1) / unit * unit;
}

}  // namespace

// Resizes a table held in its own mapping. Where the system can, growing
// remaps the pages instead of copying them, so a table never exists twice,
// and new pages come zero-filled; only the tail of the last old page, which
// may still hold rows from before a shrink, is cleared by hand.
void* ResizeMappedTable(void* table, std::size_t old_bytes, std::size_t new_bytes) {
  Env& env = CurrentEnv();
  const std::size_t old_mapped = MappedBytes(env, old_bytes);
  const std::size_t new_mapped = MappedBytes(env, new_bytes);
  void* result = table;
  if (new_mapped == 0) {
    if (table != nullptr) env.UnmapMemory(table, old_mapped);
    return nullptr;
  }
  if (table == nullptr) {
    result = env.MapMemory(new_mapped);
  } else if (new_mapped != old_mapped) {
    result = env.RemapMemory(table, old_mapped, new_mapped);
  }
  if (result == nullptr) throw std::bad_alloc();
  if (new_bytes > old_bytes && old_mapped > old_bytes) {
    const std::size_t end = new_bytes < old_mapped ? new_bytes : old_mapped;
    std::memset(static_cast<char*>(result) + old_bytes, 0, end - old_bytes);
  }
  return result;
}

}  // namespace pelmoro
