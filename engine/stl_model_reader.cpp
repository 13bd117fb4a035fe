#include "engine/stl_model_reader.h"

#include "engine/binary_stl_reader.h"
#include "engine/stl_reader.h"

namespace pelmoro {

StlReading ReadStlModel(GeometryStore& store, const std::string& file_name, RunDriver& driver,
                        int units_per_file_unit, int threads) {
  StlReading reading;
  reading.format = DetectStlFormat(file_name);
  reading.triangles =
      reading.format == StlFormat::kBinary
          ? ReadBinaryStlVertices(store, file_name, driver, units_per_file_unit)
          : ReadStlVertices(store, file_name, driver, StlReadOptions{units_per_file_unit, threads},
                            reading.notes);
  return reading;
}

}  // namespace pelmoro
