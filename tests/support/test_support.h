// Helpers shared by the tests: temporary folders and files, the corpus,
// the pending I/O code.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelmoro::testing {

// A fresh folder under the system's temporary folder, removed with its
// content when the object goes.
class TempDir {
 public:
  TempDir();
  // A folder under base instead (for instance a memory-backed one).
  explicit TempDir(const std::filesystem::path& base);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // Path of a file in the folder.
  std::string File(std::string_view name) const { return (path_ / name).string(); }
  // Writes bytes to a file in the folder and returns its path.
  std::string Write(std::string_view name, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

std::string ReadFileBytes(const std::string& path);
// Every file name in the folder (sorted).
std::vector<std::string> ListFolder(const std::filesystem::path& folder);

// The corpus of real STL files; empty when the folder is absent.
std::vector<std::filesystem::path> CorpusFiles();
// Path of one of the project's own test models.
std::string TestData(std::string_view name);
// Path of a file of the golden cases (tests/golden).
std::string GoldenFile(std::string_view name);

// A memory-backed folder for large scratch files (/dev/shm), or the
// system's temporary folder when there is none.
std::filesystem::path ScratchBase();

// The code and message that CheckIoResult raises (clearing the pending
// code); 0 and "" when it raises nothing.
std::pair<int, std::string> CatchIoResult();

// True when running as root, where permission bits deny nothing.
bool RunningAsRoot();

// True when the system has the locale (such as "ja_JP.UTF-8").
bool HasLocale(const char* name);

}  // namespace pelmoro::testing
