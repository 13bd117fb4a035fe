// Every file one run writes, fed from the same scan. All are created before
// the model is read and committed together at the end: first every file is
// finished and on the disk, only then are they renamed over their targets,
// so a run that fails anywhere leaves every earlier file as it was.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/lattice.h"
#include "engine/row_sink.h"
#include "foundation/errors.h"
#include "foundation/geometry_store.h"
#include "heightmap/fan_out_sink.h"
#include "run/output_format.h"

namespace pelmoro {

// An I/O error of one output, naming its target.
class EOutputError : public EInOutError {
 public:
  EOutputError(int code, std::string file, IoFailure failure = {})
      : EInOutError(code, std::move(failure)), file_(std::move(file)) {}
  const std::string& file() const { return file_; }

 private:
  std::string file_;
};

class OutputEntry;

class MapOutputs {
 public:
  // Creates each output's temporary file (or opens its device), in order.
  // Raises EOutputError for the first that fails; those created before it
  // are abandoned.
  explicit MapOutputs(const std::vector<OutputRequest>& requests);
  ~MapOutputs();  // abandons whatever was not committed
  MapOutputs(const MapOutputs&) = delete;
  MapOutputs& operator=(const MapOutputs&) = delete;

  // Once the model is read: the lattice of a complete scan, the bounds.
  void Start(const Lattice& lattice, const ModelBounds& bounds);
  // Where the scan's rows go: on to every output.
  RowSink& sink() { return *fan_out_; }
  // Finishes every output with the rows it has, gets every file onto the
  // disk, then moves each over its target. while_waiting is called now and
  // then while the files reach the disk; what it raises abandons every
  // output.
  void Commit(const std::function<void()>& while_waiting);

 private:
  std::vector<std::unique_ptr<OutputEntry>> entries_;
  std::unique_ptr<FanOutSink> fan_out_;
};

}  // namespace pelmoro
