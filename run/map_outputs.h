// Every file one run writes, fed from the same scan. All are created before
// the model is read. At the end every file is finished and flushed to the
// disk first; only then is each put in place over its target, one after
// the other. A run that fails before that point leaves every earlier file
// as it was; a failure while the files are put in place leaves those
// already in place.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/scan/lattice.h"
#include "engine/scan/row_sink.h"
#include "engine/scan/scan_side.h"
#include "foundation/errors.h"
#include "foundation/geometry_store.h"
#include "outputs/formats/fan_out_sink.h"
#include "outputs/formats/image_settings.h"
#include "run/output_format.h"

namespace pelmoro {

// A failure of one output, naming its target: an I/O error of its file or
// scratch file, or anything else its format raised (an image libpng
// refused). The message is the cause's own.
class EOutputError : public Exception {
 public:
  EOutputError(std::string file, const Exception& cause);
  const std::string& file() const { return file_; }
  // The I/O error behind the failure (its code, what the system said);
  // nullptr when the cause was no I/O error.
  const EInOutError* io_error() const { return io_error_ ? &*io_error_ : nullptr; }

 private:
  std::string file_;
  std::optional<EInOutError> io_error_;
};

class OutputEntry;

class MapOutputs {
 public:
  // Creates each output's temporary file (or opens its device), in order.
  // Raises EOutputError for the first that fails; those created before it
  // are abandoned. Every later step raises EOutputError, naming the output,
  // for whatever an output or its file raises.
  // settings: how the images and grids render the heights.
  explicit MapOutputs(const std::vector<OutputRequest>& requests,
                      const ImageSettings& settings = {});
  ~MapOutputs();  // abandons whatever was not committed
  MapOutputs(const MapOutputs&) = delete;
  MapOutputs& operator=(const MapOutputs&) = delete;

  // Once the model is read: the lattice of a complete scan, the bounds, the
  // store the scan reads (its first count triangles), which tells the
  // outputs that want it which points no triangle covers (without a store
  // every point counts as covered), and the window of the lattice's points
  // the images and grids cover (on the same lines, inside the lattice or
  // beyond it; without one, the lattice itself). side: the side the scan
  // sees; from below the points no triangle covers are z max, which needs
  // the store.
  void Start(const Lattice& lattice, const ModelBounds& bounds,
             const GeometryStore* store = nullptr, std::int32_t count = 0,
             const Lattice* images = nullptr, ScanSide side = ScanSide::kTop);
  // Before Start: the grid units the georeferenced outputs (the grids, the
  // world file) add back to x and y, the shift the model was read with.
  void SetOrigin(std::int64_t origin_x, std::int64_t origin_y);
  // Once started, before the rows: raises ENotEnoughSpace when the files
  // the outputs write on one filesystem (their own and their scratch
  // files, at the least each can hold after a complete scan) take more
  // than it has free. Devices and pipes have no such limit.
  void RequireSpace() const;
  // Where the scan's rows go: on to every output.
  RowSink& sink() { return *fan_out_; }
  // Finishes every output with the rows it has (several side by side on up
  // to `threads` threads, 0: one per core: a PNG to compress, a grid to
  // write out), gets every file onto the disk, then moves each
  // over its target. while_waiting is called now and then while the files
  // reach the disk; what it raises abandons every output.
  void Commit(const std::function<void()>& while_waiting, int threads);
  // After the scan, before Commit: abandons the outputs that replace a
  // file, whose earlier files stay as they were; those written directly
  // (devices, pipes, descriptors), which have had rows already, are left
  // to be committed. The sink no longer reaches the abandoned ones.
  void AbandonFiles();

 private:
  void FinishAll(int threads);

  class HeightTable;
  std::unique_ptr<HeightTable> heights_;  // when an output needs it
  std::vector<std::unique_ptr<OutputEntry>> entries_;
  std::vector<OutputFormat> formats_;  // of the entries
  std::unique_ptr<FanOutSink> fan_out_;
};

}  // namespace pelmoro
