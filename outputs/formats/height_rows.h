// The heights of a scan, kept until the scan has ended, for outputs that
// list the rows the other way round. While the heights stay within 65,535
// grid units of the floor they are held in memory as 16-bit offsets from
// it (2 bytes a point); past that, and when that memory cannot be had,
// they go to an unnamed scratch file as 32-bit heights instead.
//
// A table told to keep points without a height (kNoHeight, the points no
// triangle covers) keeps them as the offset 65535 in memory, so its heights
// stay in memory only within 65,534 units of the floor, and as kNoHeight
// itself in the scratch file.
#pragma once

#include <climits>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "foundation/mapped_table.h"
#include "outputs/files/spill_file.h"

namespace pelmoro {

// A point without a height: no triangle covers it.
inline constexpr std::int32_t kNoHeight = INT32_MIN;

class HeightRows {
 public:
  // near: where the output goes, for the scratch file.
  explicit HeightRows(std::string near) : near_(std::move(near)) {}

  // Prepares for rows of `columns` heights, none below lowest, and up to
  // `points` heights in all; with_gaps: some may be kNoHeight. floor: the
  // height of a point no triangle covers (z min from above; from below
  // z max, with lowest then z min); lowest defaults to the floor. A height
  // below lowest is kept all the same, in the scratch file.
  void Start(std::int64_t columns, std::int32_t floor, std::int64_t points, bool with_gaps = false,
             std::optional<std::int32_t> lowest = std::nullopt);
  // Appends heights in row order (a row may come in several parts).
  void Append(std::span<const std::int32_t> heights);
  // Forgets the heights appended of a row not yet complete.
  void DropPartialRow();

  // Complete rows so far.
  std::int64_t rows() const { return count_ / columns_; }
  // The lowest and highest height appended, kNoHeight left out (the floor
  // when there was none).
  std::int32_t low() const { return heights_ == 0 ? floor_ : low_; }
  std::int32_t high() const { return heights_ == 0 ? floor_ : high_; }
  std::int32_t floor() const { return floor_; }
  // Whether some point appended had no height.
  bool has_gaps() const { return heights_ < count_; }
  bool in_memory() const { return offsets_.data() != nullptr; }
  // The scratch file with the 4 bytes a height it takes for every point
  // Start was told of; nothing while the heights are in memory.
  std::optional<SpaceClaim> ScratchClaim() const;
  // Once the last row is appended: makes the rows readable, from several
  // threads at once. Raises EInOutError for a failed write of the scratch
  // file.
  void Seal();
  // After Seal: the heights of a complete row, into out (resized to the
  // columns).
  void ReadRow(std::int64_t row, std::vector<std::int32_t>& out) const;

 private:
  void MoveToSpill();
  void Spill(std::span<const std::int32_t> heights);
  void Measure(std::span<const std::int32_t> heights);
  std::int32_t HeightOf(std::uint16_t offset) const {
    return with_gaps_ && offset == 65535 ? kNoHeight : base_ + offset;
  }

  std::string near_;
  std::int64_t columns_ = 1;
  std::int32_t floor_ = 0;
  std::int32_t base_ = 0;  // what the offsets in memory are taken from
  std::int32_t low_ = 0, high_ = 0;
  std::int32_t row_low_ = 0, row_high_ = 0;  // low_ and high_ before the last row began
  std::int64_t row_heights_ = 0;             // and heights_
  std::int64_t count_ = 0;
  std::int64_t heights_ = 0;  // of the count_ points, those with a height
  bool with_gaps_ = false;
  std::int64_t largest_offset_ = 65535;  // the most an offset in memory can be
  std::int64_t points_ = 0;              // what Start was told of
  MappedArray<std::uint16_t> offsets_;   // count_ of them, room for points_
  SpillFile spill_;
};

}  // namespace pelmoro
