#include "outputs/files/disk_space.h"

#include <algorithm>
#include <utility>

#include "outputs/formats/byte_count.h"

namespace pelmoro {

namespace {

// "a", "a and b", "a, b and c".
std::string ListOf(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (k > 0) text += k + 1 == names.size() ? " and " : ", ";
    text += names[k];
  }
  return text;
}

std::string SpaceMessage(std::uint64_t needed, std::uint64_t free,
                         const std::vector<std::string>& targets) {
  std::string text =
      targets.size() == 1 ? "the height map needs at least " : "the height maps need at least ";
  text += std::to_string(needed);
  text += targets.size() == 1 ? " bytes, only " : " bytes together, only ";
  text += std::to_string(free);
  text += " are free on the disk of ";
  text += ListOf(targets);
  return text;
}

}  // namespace

ENotEnoughSpace::ENotEnoughSpace(std::uint64_t needed, std::uint64_t free,
                                 std::vector<std::string> targets)
    : Exception(SpaceMessage(needed, free, targets)), targets_(std::move(targets)) {}

std::optional<SpaceClaim> ClaimSpaceOn(FileHandle fd, std::uint64_t bytes,
                                       const std::string& target) {
  Env& env = CurrentEnv();
  FileStatus status;
  if (fd == kNoFile || env.Inspect(fd, &status) != 0 || status.kind != FileKind::kRegular) {
    return std::nullopt;
  }
  const std::optional<std::uint64_t> free = env.FreeBytesOn(fd);
  if (!free) return std::nullopt;
  return SpaceClaim{status.volume, *free, bytes, target};
}

void RequireSpaceFor(const std::vector<SpaceClaim>& claims) {
  std::vector<bool> summed(claims.size(), false);
  for (std::size_t first = 0; first < claims.size(); ++first) {
    if (summed[first]) continue;
    std::uint64_t needed = 0;
    std::vector<std::string> targets;
    for (std::size_t k = first; k < claims.size(); ++k) {
      if (claims[k].device != claims[first].device) continue;
      summed[k] = true;
      needed = AddBytes(needed, claims[k].bytes);
      if (std::find(targets.begin(), targets.end(), claims[k].target) == targets.end()) {
        targets.push_back(claims[k].target);
      }
    }
    // The free space of one filesystem, read for each claim a moment apart:
    // the first reading stands for all.
    if (needed > claims[first].free) {
      throw ENotEnoughSpace(needed, claims[first].free, std::move(targets));
    }
  }
}

}  // namespace pelmoro
