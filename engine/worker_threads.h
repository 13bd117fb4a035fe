// Starting the worker threads of the reader and the scan.
#pragma once

#include <system_error>
#include <thread>
#include <vector>

namespace pelmoro {

// Starts up to `count` threads running work() into threads; fewer when the
// system refuses one (a run then makes do with those it has).
template <typename Work>
void StartWorkers(std::vector<std::thread>& threads, int count, Work work) {
  threads.reserve(threads.size() + static_cast<std::size_t>(count > 0 ? count : 0));
  for (int i = 0; i < count; ++i) {
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      return;
    }
  }
}

}  // namespace pelmoro
