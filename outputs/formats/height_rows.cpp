#include "outputs/formats/height_rows.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "os/env.h"
#include "outputs/formats/byte_count.h"

namespace pelmoro {

namespace {
constexpr std::uint16_t kGapOffset = 65535;  // kNoHeight, in a table with gaps

// The machine's memory: more heights than fit in it go to the disk at once
// rather than being asked of the allocator (which may then only fail late,
// or, under a sanitizer, end the process).
std::uint64_t PhysicalMemoryBytes() {
  const std::uint64_t bytes = CurrentEnv().PhysicalMemoryBytes();
  return bytes == 0 ? UINT64_MAX : bytes;
}
}  // namespace

void HeightRows::Start(std::int64_t columns, std::int32_t floor, std::int64_t points,
                       bool with_gaps, std::optional<std::int32_t> lowest) {
  columns_ = std::max<std::int64_t>(columns, 1);
  floor_ = low_ = high_ = floor;
  base_ = std::min(floor, lowest.value_or(floor));
  count_ = heights_ = 0;
  with_gaps_ = with_gaps;
  largest_offset_ = with_gaps ? kGapOffset - 1 : kGapOffset;
  points_ = points;
  offsets_.Reset(0);
  // All of it is asked for at once, so growth never copies; the pages a
  // stopped scan never reaches are never touched.
  if (MultiplyBytes(static_cast<std::uint64_t>(points), sizeof(std::uint16_t)) >
      PhysicalMemoryBytes()) {
    spill_.Open(near_);
    return;
  }
  try {
    offsets_.Reset(static_cast<std::size_t>(std::max<std::int64_t>(points, 1)));
  } catch (const std::bad_alloc&) {
    spill_.Open(near_);
  }
}

std::optional<SpaceClaim> HeightRows::ScratchClaim() const {
  return spill_.ClaimSpace(
      MultiplyBytes(static_cast<std::uint64_t>(points_), sizeof(std::int32_t)));
}

// Takes the lowest and highest height of the part into low_ and high_.
void HeightRows::Measure(std::span<const std::int32_t> heights) {
  std::int32_t low = INT32_MAX, high = INT32_MIN;
  std::int64_t counted = static_cast<std::int64_t>(heights.size());
  if (!with_gaps_) {
    // A plain pass the compiler can do many heights at a time.
    for (std::int32_t z : heights) {
      low = std::min(low, z);
      high = std::max(high, z);
    }
  } else {
    for (std::int32_t z : heights) {
      if (z == kNoHeight) {
        --counted;
        continue;
      }
      low = std::min(low, z);
      high = std::max(high, z);
    }
  }
  if (counted == 0) return;
  low_ = heights_ == 0 ? low : std::min(low_, low);
  high_ = heights_ == 0 ? high : std::max(high_, high);
  heights_ += counted;
}

void HeightRows::Append(std::span<const std::int32_t> heights) {
  if (heights.empty()) return;
  if (count_ % columns_ == 0) {
    row_low_ = low_;
    row_high_ = high_;
    row_heights_ = heights_;
  }
  Measure(heights);
  const auto n = static_cast<std::int64_t>(heights.size());
  if (in_memory() &&
      (low() < base_ || high() - static_cast<std::int64_t>(base_) > largest_offset_ ||
       count_ + n > points_)) {
    MoveToSpill();
  }
  if (!in_memory()) {
    Spill(heights);
  } else {
    std::uint16_t* to = offsets_.data() + count_;
    if (!with_gaps_) {
      for (std::size_t k = 0; k < heights.size(); ++k) {
        to[k] = static_cast<std::uint16_t>(heights[k] - base_);
      }
    } else {
      for (std::size_t k = 0; k < heights.size(); ++k) {
        to[k] =
            heights[k] == kNoHeight ? kGapOffset : static_cast<std::uint16_t>(heights[k] - base_);
      }
    }
  }
  count_ += n;
}

// The scratch file keeps the heights beyond the complete rows, which are
// never read.
void HeightRows::DropPartialRow() {
  if (count_ % columns_ == 0) return;
  count_ = rows() * columns_;
  low_ = row_low_;
  high_ = row_high_;
  heights_ = row_heights_;
}

void HeightRows::Spill(std::span<const std::int32_t> heights) {
  spill_.Append({reinterpret_cast<const char*>(heights.data()), heights.size_bytes()});
}

void HeightRows::MoveToSpill() {
  spill_.Open(near_);
  std::vector<std::int32_t> part;
  const auto held = static_cast<std::size_t>(count_);
  for (std::size_t done = 0; done < held;) {
    const std::size_t end = std::min(held, done + 65536);
    part.clear();
    for (std::size_t k = done; k < end; ++k) part.push_back(HeightOf(offsets_[k]));
    Spill(part);
    done = end;
  }
  offsets_.Reset(0);
}

void HeightRows::Seal() {
  if (!in_memory()) spill_.Flush();
}

void HeightRows::ReadRow(std::int64_t row, std::vector<std::int32_t>& out) const {
  const auto columns = static_cast<std::size_t>(columns_);
  out.resize(columns);
  const std::size_t first = static_cast<std::size_t>(row) * columns;
  if (in_memory()) {
    for (std::size_t k = 0; k < columns; ++k) out[k] = HeightOf(offsets_[first + k]);
    return;
  }
  spill_.ReadAt(first * sizeof(std::int32_t), reinterpret_cast<char*>(out.data()),
                columns * sizeof(std::int32_t));
}

}  // namespace pelmoro
