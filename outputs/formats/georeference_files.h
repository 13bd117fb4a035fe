// The small files beside an image or a grid that tell GIS programs where it
// lies: the world file of a PNG and the .prj of an ESRI grid.
#pragma once

#include <cstdint>
#include <string>

#include "outputs/formats/height_rows.h"
#include "outputs/formats/image_settings.h"
#include "outputs/formats/map_output.h"

namespace pelmoro {

// The six lines of a world file (CR LF after each) for an image of `rows`
// rows on the lattice's columns, in the model's unit: the pixel's width, 0,
// 0, minus its height, then x and y of the upper-left pixel's centre (its
// grid point), the origin added back.
std::string WorldFileText(const Lattice& lattice, std::int64_t rows, const ImageSettings& settings);

// The world file of the PNG beside it: the same rows as the PNG, from the
// run's height table.
class WorldFileOutput : public GeoreferencedOutput {
 public:
  WorldFileOutput(TextFile& out, const HeightRows& heights, const ImageSettings& settings)
      : GeoreferencedOutput(out, heights, settings) {}
  void Finish() override;
  std::uint64_t LeastFileBytes() const override;
};

// The reference system of the settings as ESRI's WKT, one line and CR LF:
// the .prj file beside an ESRI grid.
class PrjOutput : public MapOutput {
 public:
  PrjOutput(TextFile& out, const ImageSettings& settings) : out_(out), settings_(settings) {}
  void Start(const Lattice&, const ModelBounds&) override {}
  void WritePiece(const RowPiece&, std::span<const RowText>) override {}
  void Finish() override;
  std::uint64_t LeastFileBytes() const override { return settings_.crs.esri_wkt.size() + 2; }

 private:
  TextFile& out_;
  ImageSettings settings_;
};

}  // namespace pelmoro
