// The room a run's files take on their disks, checked before the scan: what
// every file on one filesystem holds at least, summed, against the space
// that filesystem has free.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/errors.h"
#include "os/env.h"

namespace pelmoro {

// The files on one disk cannot fit there; nothing has been written.
// targets() are the outputs whose files (or scratch files) go there, in the
// order of the run; file() is the first of them.
class ENotEnoughSpace : public Exception {
 public:
  ENotEnoughSpace(std::uint64_t needed, std::uint64_t free, std::vector<std::string> targets);
  const std::string& file() const { return targets_.front(); }
  const std::vector<std::string>& targets() const { return targets_; }

 private:
  std::vector<std::string> targets_;
};

// At least `bytes` bytes for the output `target`, on one filesystem.
struct SpaceClaim {
  std::uint64_t device = 0;  // the filesystem (FileStatus::volume)
  std::uint64_t free = 0;    // its free bytes, as this process may use them
  std::uint64_t bytes = 0;
  std::string target;
};

// A claim of bytes on the filesystem of the open file fd. Nothing for a
// device or a pipe (no such limit), or when the system cannot tell.
std::optional<SpaceClaim> ClaimSpaceOn(FileHandle fd, std::uint64_t bytes,
                                       const std::string& target);

// Sums the claims filesystem by filesystem and raises ENotEnoughSpace for
// the first (in the order of the claims) that has less free than its sum.
void RequireSpaceFor(const std::vector<SpaceClaim>& claims);

}  // namespace pelmoro
