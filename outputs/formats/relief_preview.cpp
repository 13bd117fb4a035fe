#include "outputs/formats/relief_preview.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "outputs/formats/png_encoder.h"

namespace pelmoro {

namespace {

constexpr double kShadeShare = 0.65;

const std::vector<PngText>& PreviewTexts() {
  static const std::vector<PngText> texts{{"Software", "stl2hzm"}};
  return texts;
}

std::int32_t At(const HeightGrid& g, std::int64_t column, std::int64_t row) {
  return g.z[static_cast<std::size_t>(row * g.columns + column)];
}

// Heights are whole grid units, so on a gentle slope they climb in steps of
// one unit that would show as stripes. The slopes are therefore taken over
// at least a millimetre: the difference of the lines `reach` pixels to
// either side, averaged over the 2 * reach + 1 pixels across (Horn's 3 x 3
// differences when reach is 1), the edges repeating their outermost heights.
constexpr std::int64_t kSlopeBase = 40;  // grid units

double ShadeAt(const HeightGrid& g, std::int64_t c, std::int64_t r) {
  auto z = [&](std::int64_t dc, std::int64_t dr) {
    return static_cast<double>(At(g, std::clamp(c + dc, std::int64_t{0}, g.columns - 1),
                                  std::clamp(r + dr, std::int64_t{0}, g.rows - 1)));
  };
  const std::int64_t reach = std::max<std::int64_t>(1, kSlopeBase / (2 * g.spacing));
  double dx = 0, dy = 0;
  for (std::int64_t k = -reach; k <= reach; ++k) {
    dx += z(reach, k) - z(-reach, k);
    dy += z(k, reach) - z(k, -reach);
  }
  const auto run = static_cast<double>((2 * reach + 1) * 2 * reach * g.spacing);
  dx /= run;
  dy /= run;
  // The light: from the upper left of the picture (-x, +y), 45 degrees up.
  const double lx = -0.5, ly = 0.5, lz = std::sqrt(0.5);
  const double shade = (-dx * lx - dy * ly + lz) / std::sqrt(dx * dx + dy * dy + 1.0);
  return std::max(shade, 0.0);
}

}  // namespace

std::int64_t PreviewStep(std::int64_t columns, std::int64_t rows) {
  const std::int64_t longer = std::max(columns, rows);
  return std::max<std::int64_t>(1, (longer + kPreviewSide - 1) / kPreviewSide);
}

std::vector<std::uint8_t> ShadeRelief(const HeightGrid& g) {
  std::vector<std::uint8_t> gray(g.z.size());
  if (g.z.empty()) return gray;
  const auto [low, high] = std::minmax_element(g.z.begin(), g.z.end());
  const double range = static_cast<double>(*high) - *low;
  for (std::int64_t r = 0; r < g.rows; ++r) {
    for (std::int64_t c = 0; c < g.columns; ++c) {
      const double height = range == 0 ? 0.5 : (At(g, c, r) - static_cast<double>(*low)) / range;
      const double value = 255.0 * (kShadeShare * ShadeAt(g, c, r) + (1 - kShadeShare) * height);
      const auto top_down = static_cast<std::size_t>((g.rows - 1 - r) * g.columns + c);
      gray[top_down] = static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
    }
  }
  return gray;
}

void PreviewOutput::Start(const Lattice& lattice, const ModelBounds&) {
  step_ = PreviewStep(lattice.columns, lattice.rows);
  grid_.columns = (lattice.columns + step_ - 1) / step_;
  grid_.spacing = step_ * lattice.pitch;
  rows_ = (lattice.rows + step_ - 1) / step_;
}

std::uint64_t PreviewOutput::LeastFileBytes() const {
  return PngSizeLowerBound(static_cast<std::uint64_t>(grid_.columns),
                           static_cast<std::uint64_t>(rows_), 1, PreviewTexts());
}

void PreviewOutput::DropPartialRow() {
  if (rows_before_ < grid_.rows) {
    grid_.rows = rows_before_;
    grid_.z.resize(static_cast<std::size_t>(grid_.rows * grid_.columns));
  } else {
    std::copy(row_before_.begin(), row_before_.end(),
              grid_.z.begin() + static_cast<std::ptrdiff_t>((grid_.rows - 1) * grid_.columns));
  }
}

void PreviewOutput::WritePiece(const RowPiece& piece, std::span<const RowText>) {
  const std::int64_t row = piece.row / step_;
  // A row's pixels are kept as they were before it, for a stop in the
  // middle of it: a pixels' row is a few thousand heights at most.
  if (piece.first_column == 0) {
    rows_before_ = grid_.rows;
    if (row < grid_.rows) {
      const auto first = grid_.z.begin() + static_cast<std::ptrdiff_t>(row * grid_.columns);
      row_before_.assign(first, first + static_cast<std::ptrdiff_t>(grid_.columns));
    }
  }
  if (row >= grid_.rows) {
    grid_.rows = row + 1;
    grid_.z.resize(static_cast<std::size_t>(grid_.rows * grid_.columns),
                   std::numeric_limits<std::int32_t>::min());
  }
  std::int32_t* cells = grid_.z.data() + row * grid_.columns;
  for (std::size_t k = 0; k < piece.heights.size(); ++k) {
    const std::int64_t column = (piece.first_column + static_cast<std::int64_t>(k)) / step_;
    cells[column] = std::max(cells[column], piece.heights[k]);
  }
}

void PreviewOutput::Finish() {
  const std::vector<std::uint8_t> gray = ShadeRelief(grid_);
  PngEncoder png(out_, static_cast<std::uint32_t>(grid_.columns),
                 static_cast<std::uint32_t>(grid_.rows), 8, PreviewTexts());
  for (std::int64_t r = 0; r < grid_.rows; ++r) {
    png.WriteRow(std::span(gray).subspan(static_cast<std::size_t>(r * grid_.columns),
                                         static_cast<std::size_t>(grid_.columns)));
  }
  png.Finish();
}

}  // namespace pelmoro
