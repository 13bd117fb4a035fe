// Helpers of the fuzz targets (tests/fuzz/): a file in memory to hand the
// readers, a scratch folder, open descriptors, and a check that aborts so
// that libFuzzer (or the corpus replay) reports the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pelmoro::testing {

// Prints "fuzz check failed: what" and aborts unless ok.
void FuzzCheck(bool ok, std::string_view what);

// The fuzz input as a file: one memory-backed file (memfd) per object,
// refilled for every input, reachable by name.
class MemoryFile {
 public:
  MemoryFile();
  ~MemoryFile();
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  // Replaces the content with bytes.
  void Fill(std::string_view bytes);
  // A name that opens the file afresh (/proc/self/fd/N).
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

// A folder for one fuzzing process, in memory when /dev/shm allows, removed
// with its content when the object goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string File(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The number of descriptors the process holds open.
int OpenDescriptorCount();

// Writes bytes to a file, replacing it.
void WriteWholeFile(const std::string& path, std::string_view bytes);
// The bytes of a file.
std::string ReadWholeFile(const std::string& path);
// Every file name in the folder, sorted.
std::vector<std::string> FolderNames(const std::filesystem::path& folder);

// The input's bytes as text.
inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace pelmoro::testing
