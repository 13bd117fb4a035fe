// The lattice the images and grids (PNG, ESRI grid) cover: the points of the
// height map's lattice, extended beyond it with the same anchor and pitch,
// that lie in the model's plan-view extent or in a window chosen instead.
#pragma once

#include <optional>

#include "engine/read/model_extent.h"
#include "engine/scan/lattice.h"
#include "outputs/formats/image_settings.h"

namespace pelmoro {

// The points of whole's lines x = whole.x_min + j pitch, y = whole.y_min +
// i pitch (any whole j, i) within the window, or within the extent when
// there is none (the whole lattice for an empty model; one point where the
// extent holds none). Raises Exception for a window that holds no point or
// reaches beyond the 32-bit grid.
Lattice ImageLattice(const Lattice& whole, const ModelExtent& extent,
                     const std::optional<PlanWindow>& window);

// The largest pitch, 1 to 255 grid units, at which the images over the
// bounds' lattice get at least settings.width_px columns and
// settings.height_px rows (either 0: any). Raises Exception when even a
// pitch of 1 gives fewer.
int PitchForPoints(const ModelBounds& bounds, const ModelExtent& extent,
                   const ImageSettings& settings);

}  // namespace pelmoro
