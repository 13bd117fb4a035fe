#include "tests/support/test_support.h"

#include <locale.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "foundation/errors.h"
#include "foundation/text_file.h"

namespace fs = std::filesystem;

namespace pelmoro::testing {

TempDir::TempDir() : TempDir(fs::temp_directory_path()) {}

TempDir::TempDir(const fs::path& base) {
  static std::atomic<int> counter{0};
  for (int attempt = 0;; ++attempt) {
    fs::path candidate =
        base / ("pelmoro-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      path_ = candidate;
      return;
    }
    if (attempt > 1000) throw std::runtime_error("cannot create a temporary folder");
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  // Restore permissions a test may have taken away, so removal succeeds.
  for (auto it = fs::recursive_directory_iterator(path_, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::string TempDir::Write(std::string_view name, std::string_view bytes) const {
  std::string p = File(name);
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + p);
  return p;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> ListFolder(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<fs::path> CorpusFiles() {
  std::vector<fs::path> files;
  std::error_code ec;
  if (!fs::is_directory(PELMORO_CORPUS_DIR, ec)) return files;
  for (const auto& e : fs::directory_iterator(PELMORO_CORPUS_DIR)) {
    if (e.path().extension() == ".stl") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string GoldenFile(std::string_view name) {
  return (fs::path(PELMORO_GOLDEN_DIR) / name).string();
}

std::string TestData(std::string_view name) {
  return (fs::path(PELMORO_TEST_DATA_DIR) / name).string();
}

fs::path ScratchBase() {
  std::error_code ec;
  if (fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return fs::temp_directory_path();
}

std::pair<int, std::string> CatchIoResult() {
  try {
    CheckIoResult();
  } catch (const EInOutError& e) {
    return {e.code(), e.message()};
  }
  return {0, ""};
}

bool RunningAsRoot() { return ::geteuid() == 0; }

}  // namespace pelmoro::testing

namespace pelmoro::testing {

bool HasLocale(const char* name) {
  locale_t locale = ::newlocale(LC_ALL_MASK, name, nullptr);
  if (locale == nullptr) return false;
  ::freelocale(locale);
  return true;
}

}  // namespace pelmoro::testing
