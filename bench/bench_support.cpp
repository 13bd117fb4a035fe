#include "bench/bench_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "run/pitch.h"

namespace pelmoro::bench {

int PitchUnits(const std::string& millimetres) {
  const PitchResult result = ParsePitchText(millimetres, '.');
  if (result.pitch == 0) {
    std::fprintf(stderr, "pitch '%s' refused\n", millimetres.c_str());
    std::exit(2);
  }
  return result.pitch;
}

std::uint64_t FileBytes(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

namespace {

// Position just after `lines` more lines from `at`, or npos past the end.
std::size_t SkipLines(std::string_view file, std::size_t at, std::int64_t lines) {
  for (; lines > 0; --lines) {
    if (at >= file.size()) return std::string_view::npos;
    const void* lf = std::memchr(file.data() + at, '\n', file.size() - at);
    if (lf == nullptr) return std::string_view::npos;
    at = static_cast<std::size_t>(static_cast<const char*>(lf) - file.data()) + 1;
  }
  return at;
}

constexpr std::int64_t kHeaderLines = 7;

}  // namespace

std::vector<std::string_view> HeightMapRows(std::string_view file, std::int32_t columns,
                                            const std::vector<std::int64_t>& rows) {
  std::vector<std::string_view> found;
  const std::int64_t lines_per_row = std::int64_t{columns} + 1;
  std::size_t at = SkipLines(file, 0, kHeaderLines);
  std::int64_t current = 0;
  for (std::int64_t row : rows) {
    if (at != std::string_view::npos) at = SkipLines(file, at, (row - current) * lines_per_row);
    const std::size_t end = at == std::string_view::npos ? at : SkipLines(file, at, lines_per_row);
    if (end == std::string_view::npos) {
      found.emplace_back();
      at = end;
      continue;
    }
    found.push_back(file.substr(at, end - at));
    at = end;
    current = row + 1;
  }
  return found;
}

ChildRun RunChild(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  ChildRun run;
  // posix_spawn, not fork: copying this process's page tables and faulting
  // on its pages until exec would be timed as the child's.
  const Clock::time_point start = Clock::now();
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ);
  if (spawned != 0) {
    std::fprintf(stderr, "%s: %s\n", args[0], std::strerror(spawned));
    return run;
  }
  int status = 0;
  struct rusage usage {};
  if (::wait4(pid, &status, 0, &usage) != pid) return run;
  run.seconds = SecondsSince(start);
  run.max_rss_kib = usage.ru_maxrss;  // kilobytes on Linux
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::vector<std::int64_t> SampleRows(std::int64_t rows, int count) {
  std::vector<std::int64_t> sample;
  if (rows <= 0 || count <= 0) return sample;
  if (count == 1 || rows == 1) return {rows / 2};
  for (int i = 0; i < count; ++i) {
    const std::int64_t row = (rows - 1) * i / (count - 1);
    if (sample.empty() || sample.back() != row) sample.push_back(row);
  }
  return sample;
}

}  // namespace pelmoro::bench
