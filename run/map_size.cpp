#include "run/map_size.h"

#include "outputs/formats/hzm_size.h"

namespace pelmoro {

std::uint64_t MeasureHeightMapBytes(const GeometryStore& store, const Lattice& lattice,
                                    std::int32_t count, RunDriver& driver,
                                    const ScanOptions& options) {
  HzmByteCounter counter(lattice);
  ScanHeightMap(store, lattice, count, driver, counter, options);
  return counter.bytes();
}

}  // namespace pelmoro
