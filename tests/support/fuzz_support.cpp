#include "tests/support/fuzz_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace pelmoro::testing {

void FuzzCheck(bool ok, std::string_view what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

MemoryFile::MemoryFile() : fd_(::memfd_create("pelmoro-fuzz-input", MFD_CLOEXEC)) {
  if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "memfd_create");
  path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile() { ::close(fd_); }

void MemoryFile::Fill(std::string_view bytes) {
  FuzzCheck(::ftruncate(fd_, 0) == 0, "ftruncate of the memory file");
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t put =
        ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    FuzzCheck(put > 0, "write to the memory file");
    done += static_cast<std::size_t>(put);
  }
}

ScratchFolder::ScratchFolder() {
  std::error_code ec;
  const fs::path base = fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                            ? fs::path("/dev/shm")
                            : fs::temp_directory_path();
  std::string name = (base / "pelmoro-fuzz-XXXXXX").string();
  if (::mkdtemp(name.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp");
  }
  path_ = name;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

int OpenDescriptorCount() {
  int count = 0;
  std::error_code ec;
  for (auto it = fs::directory_iterator("/proc/self/fd", ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    ++count;
  }
  return count;
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  FuzzCheck(static_cast<bool>(out), "write the input file");
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  FuzzCheck(static_cast<bool>(in), "open the output file");
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::vector<std::string> FolderNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace pelmoro::testing
