#include "foundation/mapped_table.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <new>

namespace pelmoro {

namespace {

std::size_t PageSize() {
  static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

// The bytes a table's mapping takes: whole pages, and from 128 KiB on whole
// huge pages, so that it can be made of them (a huge page is cleared in
// less time than 32 faults take here).
std::size_t MappedBytes(std::size_t bytes) {
  const std::size_t unit = bytes >= kHugePageBytes / 16 ? kHugePageBytes : PageSize();
  return (bytes + unit - 1) / unit * unit;
}

// Fresh memory is costly to touch page by page here; tables of a huge page
// or more ask for huge pages, which take far fewer faults. The advice
// covers the whole mapping: advising part of it would split it, and mremap
// works only on one undivided mapping.
void AdviseHugePages(void* start, std::size_t bytes) {
  if (bytes >= kHugePageBytes) ::madvise(start, bytes, MADV_HUGEPAGE);
}

}  // namespace

// Resizes a table held in its own anonymous mapping. Growing remaps the
// pages instead of copying them, so a table never exists twice, and new
// pages come zero-filled; only the tail of the last old page, which may
// still hold rows from before a shrink, is cleared by hand.
void* ResizeMappedTable(void* table, std::size_t old_bytes, std::size_t new_bytes) {
  const std::size_t old_mapped = MappedBytes(old_bytes);
  const std::size_t new_mapped = MappedBytes(new_bytes);
  void* result = table;
  if (new_mapped == 0) {
    if (table != nullptr) ::munmap(table, old_mapped);
    return nullptr;
  }
  if (table == nullptr) {
    result =
        ::mmap(nullptr, new_mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  } else if (new_mapped != old_mapped) {
    result = ::mremap(table, old_mapped, new_mapped, MREMAP_MAYMOVE);
  }
  if (result == MAP_FAILED) throw std::bad_alloc();
  if (new_bytes > old_bytes && old_mapped > old_bytes) {
    const std::size_t end = new_bytes < old_mapped ? new_bytes : old_mapped;
    std::memset(static_cast<char*>(result) + old_bytes, 0, end - old_bytes);
  }
  AdviseHugePages(result, new_mapped);
  return result;
}

}  // namespace pelmoro
