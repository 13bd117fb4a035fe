// Replacements through the system's Env: what the target's folder holds
// after each way a replacement ends. Built for every system (it runs under
// Windows too), so it uses nothing but Env and std::filesystem.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "os/env.h"

namespace pelmoro {
namespace {

namespace fs = std::filesystem;

// A fresh folder of the test's own, removed with everything in it.
class Folder {
 public:
  Folder() {
    std::random_device random;
    path_ = fs::temp_directory_path() / ("pelmoro-replacement-" + std::to_string(random()));
    fs::create_directories(path_);
  }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  // The UTF-8 name of `leaf` in the folder, as Env takes names.
  std::string Name(const std::string& leaf) const {
    const std::u8string text =
        (path_ / fs::path(std::u8string(leaf.begin(), leaf.end()))).u8string();
    return std::string(text.begin(), text.end());
  }
  std::vector<std::string> List() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) {
      const std::u8string leaf = entry.path().filename().u8string();
      names.emplace_back(leaf.begin(), leaf.end());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path path_;
};

fs::path PathOf(const std::string& name) {
  return fs::path(std::u8string(name.begin(), name.end()));
}

void WriteFile(const std::string& name, const std::string& bytes) {
  std::ofstream(PathOf(name), std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& name) {
  std::ifstream in(PathOf(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(Env& env, FileHandle file, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    std::size_t put = 0;
    ASSERT_EQ(env.Write(file, bytes.data() + done, bytes.size() - done, &put), 0);
    ASSERT_GT(put, 0u);
    done += put;
  }
}

enum class End { kPublished, kDiscarded };

struct ReplacementCase {
  const char* label;
  const char* leaf;     // the target's name in the folder
  const char* earlier;  // what is there before; nullptr: nothing
  End end;
  const char* kept;  // what the target holds at the end; nullptr: no target
};

class ReplacementTest : public ::testing::TestWithParam<ReplacementCase> {};

TEST_P(ReplacementTest, LeavesTheTargetAndNothingElse) {
  const ReplacementCase& c = GetParam();
  Env& env = Env::Default();
  Folder folder;
  const std::string name = folder.Name(c.leaf);
  if (c.earlier != nullptr) WriteFile(name, c.earlier);
  OutputTarget target;
  ASSERT_EQ(env.ResolveOutput(name, &target), 0);
  EXPECT_EQ(target.kind, OutputKind::kFile);
  EXPECT_EQ(target.exists, c.earlier != nullptr);
  Replacement replacement;
  ASSERT_EQ(env.CreateReplacement(target, &replacement), 0);
  EXPECT_TRUE(replacement.vanishes);  // every system here has a way
  WriteAll(env, replacement.file, "the new map\r\n");
  ASSERT_EQ(env.FlushToDisk(replacement.file, true), 0);
  // While it is written, the earlier file is as it was.
  if (c.earlier != nullptr) {
    EXPECT_EQ(ReadFile(name), c.earlier);
  }
  for (const std::string& leaf : folder.List()) {
    EXPECT_TRUE(leaf == c.leaf || leaf.front() == '.') << leaf << " is not hidden";
  }
  if (c.end == End::kPublished) {
    ASSERT_EQ(env.PublishReplacement(&replacement), 0);
  } else {
    env.DiscardReplacement(&replacement);
  }
  EXPECT_EQ(replacement.file, kNoFile);
  const std::vector<std::string> expected =
      c.kept != nullptr ? std::vector<std::string>{c.leaf} : std::vector<std::string>{};
  EXPECT_EQ(folder.List(), expected);
  if (c.kept != nullptr) {
    EXPECT_EQ(ReadFile(name), c.kept);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ends, ReplacementTest,
    ::testing::Values(
        ReplacementCase{"NewTarget", "m.hzm", nullptr, End::kPublished, "the new map\r\n"},
        ReplacementCase{"EarlierReplaced", "m.hzm", "earlier\r\n", End::kPublished,
                        "the new map\r\n"},
        ReplacementCase{"DiscardKeepsEarlier", "m.hzm", "earlier\r\n", End::kDiscarded,
                        "earlier\r\n"},
        ReplacementCase{"DiscardLeavesNothing", "m.hzm", nullptr, End::kDiscarded, nullptr},
        ReplacementCase{"JapaneseName", "\xe3\x83\xac\xe3\x83\xaa\xe3\x83\xbc\xe3\x83\x95.hzm",
                        "earlier\r\n", End::kPublished, "the new map\r\n"},
        ReplacementCase{"NameWithSpaces", "my relief map.hzm", nullptr, End::kPublished,
                        "the new map\r\n"}),
    [](const auto& info) { return std::string(info.param.label); });

// Targets no replacement may be made for: refused before anything is
// created, the folder left as it was.
struct RefusalCase {
  const char* label;
  bool folder_in_place;  // else the target's folder is missing
  int error;
};

class ReplacementRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ReplacementRefusalTest, CreatesNothing) {
  Env& env = Env::Default();
  Folder folder;
  const std::string name =
      GetParam().folder_in_place ? folder.Name("m.hzm") : folder.Name("missing/m.hzm");
  if (GetParam().folder_in_place) fs::create_directory(PathOf(name));
  const std::vector<std::string> before = folder.List();
  OutputTarget target;
  ASSERT_EQ(env.ResolveOutput(name, &target), 0);
  Replacement replacement;
  EXPECT_EQ(env.CreateReplacement(target, &replacement), GetParam().error);
  EXPECT_EQ(replacement.file, kNoFile);
  EXPECT_EQ(folder.List(), before);
}

INSTANTIATE_TEST_SUITE_P(Refusals, ReplacementRefusalTest,
                         ::testing::Values(RefusalCase{"FolderInPlace", true, EISDIR},
                                           RefusalCase{"MissingFolder", false, ENOENT}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro
