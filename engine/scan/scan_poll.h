// How a scan stays responsive inside a row: the computing threads look at
// a relaxed flag every few thousand points, and the driving thread asks
// its driver (messages, the stop) every few milliseconds of work, so that
// neither the width of a row nor the triangles over a point delay a stop.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "engine/run_driver.h"

namespace pelmoro {

// Points a sweep computes between two looks at whether its piece is still
// wanted: a few microseconds for the branch-free passes, a millisecond or
// two for points that take the full coverage test.
inline constexpr std::int64_t kPointsPerPoll = 8192;

// What the driving thread does every kPointsPerPoll points of its own
// computing: true once the run is to stop.
class ScanPoll {
 public:
  virtual ~ScanPoll() = default;
  virtual bool Poll() = 0;
};

// The driver asked (WhileWaiting, then StopRequested) at most every
// interval; true from the first stop seen on. A stop asked for before the
// scan began (while the model was read) still lets the first row through,
// as a stopped reading has always given a map of one row: it counts from
// the end of that row on. What WhileWaiting raises passes out through the
// computation, ending the run.
class DriverPoll : public ScanPoll {
 public:
  static constexpr auto kDriverInterval = std::chrono::milliseconds(20);

  explicit DriverPoll(RunDriver& driver, std::chrono::milliseconds interval = kDriverInterval)
      : driver_(driver),
        interval_(interval),
        last_(std::chrono::steady_clock::now()),
        first_row_kept_(driver.StopRequested()) {}
  bool Poll() override {
    if (stop_seen_) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < interval_) return false;
    driver_.WhileWaiting();
    Asked(driver_.StopRequested());
    return stop_seen_;
  }
  // The driver has just been asked on its own, and said `stop`.
  void Asked(bool stop) {
    stop_seen_ = stop_seen_ || (stop && !first_row_kept_);
    last_ = std::chrono::steady_clock::now();
  }
  // A whole row has gone to the sink.
  void RowWritten() { first_row_kept_ = false; }
  bool stop_seen() const { return stop_seen_; }

 private:
  RunDriver& driver_;
  std::chrono::milliseconds interval_;
  std::chrono::steady_clock::time_point last_;
  bool first_row_kept_;  // a stop came before the scan: the first row is written all the same
  bool stop_seen_ = false;
};

// Tells a sweep that the piece it computes is no longer wanted: it lies at
// or beyond the end of what is needed, the mode changed since it was
// claimed, or (on the driving thread) the run is to stop. Read without a
// lock, once per triangle and every kPointsPerPoll points of a pass.
class SweepCancel {
 public:
  // Cancelled only by the poll (the computing thread is the driving one).
  explicit SweepCancel(ScanPoll* poll) : poll_(poll) {}
  // Cancelled once unit >= *needed_end or *generation != claimed, or by
  // the poll when there is one.
  SweepCancel(const std::atomic<std::int64_t>* needed_end,
              const std::atomic<std::uint64_t>* generation, std::int64_t unit,
              std::uint64_t claimed, ScanPoll* poll = nullptr)
      : needed_end_(needed_end),
        generation_(generation),
        unit_(unit),
        claimed_(claimed),
        poll_(poll) {}

  bool Cancelled() const {
    return stopped_ ||
           (needed_end_ != nullptr && unit_ >= needed_end_->load(std::memory_order_relaxed)) ||
           (generation_ != nullptr && generation_->load(std::memory_order_relaxed) != claimed_);
  }
  // After `points` more points of work: every kPointsPerPoll points, the
  // poll, if any, and the flags. Whether the piece is no longer wanted.
  bool Count(std::int64_t points) {
    counted_ += points;
    if (counted_ < kPointsPerPoll) return false;
    counted_ = 0;
    if (poll_ != nullptr && poll_->Poll()) stopped_ = true;
    return Cancelled();
  }
  // The poll said stop while this piece was computed.
  bool stopped() const { return stopped_; }

 private:
  const std::atomic<std::int64_t>* needed_end_ = nullptr;
  const std::atomic<std::uint64_t>* generation_ = nullptr;
  std::int64_t unit_ = 0;
  std::uint64_t claimed_ = 0;
  ScanPoll* poll_ = nullptr;
  std::int64_t counted_ = 0;
  bool stopped_ = false;
};

}  // namespace pelmoro
