#include "outputs/formats/georeference_files.h"

#include "outputs/formats/grid_in_unit.h"

namespace pelmoro {

std::string WorldFileText(const Lattice& lattice, std::int64_t rows,
                          const ImageSettings& settings) {
  const int units = settings.units;
  const std::int64_t top = std::int64_t{lattice.y_min} + (rows > 0 ? rows - 1 : 0) * lattice.pitch;
  const std::string pitch = FormatInUnit(lattice.pitch, units);
  return pitch + "\r\n0\r\n0\r\n-" + pitch + "\r\n" +
         FormatInUnit(std::int64_t{lattice.x_min} + settings.origin_x, units) + "\r\n" +
         FormatInUnit(top + settings.origin_y, units) + "\r\n";
}

void WorldFileOutput::Finish() {
  PutText(out_, WorldFileText(lattice_, heights_.rows(), settings_));
  CheckIoResult();
}

std::uint64_t WorldFileOutput::LeastFileBytes() const {
  return WorldFileText(lattice_, lattice_.rows, settings_).size();
}

void PrjOutput::Finish() {
  PutText(out_, settings_.crs.esri_wkt + "\r\n");
  CheckIoResult();
}

}  // namespace pelmoro
