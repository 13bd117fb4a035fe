// A picture of the height map for a person: 8-bit gray shaded relief, lit
// from the upper left, with the heights also mapped to gray (higher is
// lighter), scaled down so that its longer side is at most 1024 pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/text_file.h"
#include "outputs/formats/map_output.h"

namespace pelmoro {

inline constexpr std::int64_t kPreviewSide = 1024;

// Heights on a square grid, row 0 at the lowest y, `spacing` grid units
// apart.
struct HeightGrid {
  std::int64_t columns = 0;
  std::int64_t rows = 0;
  std::int64_t spacing = 1;
  std::vector<std::int32_t> z;  // row after row
};

// The lattice points per preview pixel along each side.
std::int64_t PreviewStep(std::int64_t columns, std::int64_t rows);

// The picture of the grid, the top row (highest y) first: each pixel
// 255 * (0.65 * shade + 0.35 * height), shade the cosine between the
// surface normal (its slopes taken over at least 1 mm) and a light at
// azimuth 315 degrees and elevation 45,
// height the pixel's place between the lowest and highest z (0.5 for a
// level grid).
std::vector<std::uint8_t> ShadeRelief(const HeightGrid& grid);

// Each preview pixel takes the highest point of its step x step block.
class PreviewOutput : public MapOutput {
 public:
  explicit PreviewOutput(TextFile& out) : out_(out) {}

  void Start(const Lattice& lattice, const ModelBounds& bounds) override;
  void WritePiece(const RowPiece& piece, std::span<const RowText> texts) override;
  // The pixels' row as it was before the row began, and the rows then.
  void DropPartialRow() override;
  void Finish() override;
  std::uint64_t LeastFileBytes() const override;

 private:
  TextFile& out_;
  std::int64_t step_ = 1;
  std::int64_t rows_ = 0;  // of a complete scan
  HeightGrid grid_;
  std::int64_t rows_before_ = 0;          // grid_.rows before the last row began
  std::vector<std::int32_t> row_before_;  // its pixels' row then
};

}  // namespace pelmoro
