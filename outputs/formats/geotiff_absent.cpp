// Builds without libtiff and libgeotiff (Windows): the command line refuses
// a GeoTIFF before anything is read; this is the last line of defence.
#include "foundation/errors.h"
#include "outputs/formats/geotiff_output.h"

namespace pelmoro {

bool GeoTiffBuilt() { return false; }

void GeoTiffOutput::Finish() {
  throw Exception("this stl2hzm was built without GeoTIFF (libtiff and libgeotiff)");
}

}  // namespace pelmoro
