// One file a run writes from the rows of its scan. The run creates every
// output's file first, starts them once the model is read, hands them the
// rows, and finishes them before the files are committed; what a format
// cannot write as the rows come (PNG and ESRI grids list the highest row
// first) it keeps until Finish.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/scan/lattice.h"
#include "engine/scan/row_sink.h"
#include "foundation/geometry_store.h"
#include "foundation/text_file.h"
#include "outputs/files/disk_space.h"
#include "outputs/formats/height_rows.h"
#include "outputs/formats/image_settings.h"

namespace pelmoro {

class MapOutput : public RowSink {
 public:
  // Before the first row: the lattice of a complete scan and the model's
  // bounds (every height is at least bounds.z_min).
  virtual void Start(const Lattice& lattice, const ModelBounds& bounds) = 0;
  // After the last row the scan gave (all of them, or those before a stop):
  // writes the rest of the file, which then holds exactly those rows.
  virtual void Finish() = 0;

  // After Start, before the rows: the bytes the file holds at least once
  // the rows of a complete scan are written.
  virtual std::uint64_t LeastFileBytes() const = 0;
  // After Start, before the rows: the scratch file the output keeps until
  // it is finished, with the bytes it holds at least by then; nothing when
  // the output keeps none (so far: one that only a later row makes
  // necessary is not known yet).
  virtual std::optional<SpaceClaim> ScratchClaim() const { return std::nullopt; }
  // Before Start: the grid units the georeferenced outputs add back to x
  // and y (the shift subtracted as the model was read). Others ignore it.
  virtual void PlaceAt(std::int64_t /*origin_x*/, std::int64_t /*origin_y*/) {}
};

// An output written whole at Finish from the run's height table, which the
// run fills with the rows and seals before Finish: the formats that list
// the highest row first.
class HeightTableOutput : public MapOutput {
 public:
  HeightTableOutput(TextFile& out, const HeightRows& heights) : out_(out), heights_(heights) {}

  void Start(const Lattice& lattice, const ModelBounds&) override { lattice_ = lattice; }
  void WritePiece(const RowPiece&, std::span<const RowText>) override {}

 protected:
  TextFile& out_;
  const HeightRows& heights_;
  Lattice lattice_;
};

// A height-table output that sits at the model's own coordinates: the
// settings' origin is where PlaceAt puts it.
class GeoreferencedOutput : public HeightTableOutput {
 public:
  GeoreferencedOutput(TextFile& out, const HeightRows& heights, const ImageSettings& settings)
      : HeightTableOutput(out, heights), settings_(settings) {}

  void PlaceAt(std::int64_t origin_x, std::int64_t origin_y) override {
    settings_.origin_x = origin_x;
    settings_.origin_y = origin_y;
  }

 protected:
  ImageSettings settings_;
};

}  // namespace pelmoro
