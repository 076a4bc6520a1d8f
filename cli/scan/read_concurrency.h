// How many threads classify at once when -j is not given.
//
// A file in the page cache costs a few microseconds of processor time, and then one thread per
// core is best: more only switch between themselves. A file that is not cached keeps its thread
// waiting on the storage, and most storage (SSD, NVMe, network and virtual disks) serves many
// reads at once, so then more threads, each with one read in flight, finish sooner. The run
// starts with one per core and watches how long checks take:
//
// - when most checks of a window waited on the storage, the number of threads doubles, but
//   only while doubling pays: the files finished per second (threads over the mean wait) must
//   rise by a quarter, or the count goes back and stays there for a while. The window after a
//   change is not judged, as its checks began before it. A storage that serves one read at a
//   time (a rotating disk, a slow card) gains nothing from more reads in flight, and so does
//   not get them;
// - when few checks wait, the count halves back towards one per core.
//
// Every thread reports each check; one of them, at the end of each window, decides. Cheap
// enough to run per file: one relaxed atomic addition and one load, two more additions for a
// check that waited. A fixed count (-j) is not timed at all.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace kindprobe::cli {

class ReadConcurrency {
 public:
  // A check this long waited on the storage: a cached file takes a few microseconds.
  static constexpr std::chrono::nanoseconds kWaited = std::chrono::microseconds(50);
  // Checks per decision, at least; with many threads, two per thread, so that a window sees
  // every thread's check at least once after a change.
  static constexpr uint32_t kWindow = 64;
  // Windows to stay at a count that doubling did not improve on, before trying again.
  static constexpr uint32_t kHoldWindows = 8;

  // Between `fewest` threads (one per core) and `most`; equal: a fixed count, nothing adapts.
  ReadConcurrency(uint32_t fewest, uint32_t most);

  bool adapts() const { return fewest_ < most_; }
  // How many threads classify now, at least `fewest`, at most `most`.
  uint32_t active() const { return active_.load(); }

  // One check done, that took `took`. True when this changed the number of threads that
  // classify (the caller wakes those now wanted).
  bool Record(std::chrono::nanoseconds took);

 private:
  // At the end of a window: `checks` and `waited` done in it, `waitedNs` those waited in all.
  void Decide(uint64_t checks, uint64_t waited, uint64_t waitedNs);

  const uint32_t fewest_;
  const uint32_t most_;
  std::atomic<uint32_t> active_;

  std::atomic<uint64_t> checks_{0};
  std::atomic<uint64_t> waited_{0};
  std::atomic<uint64_t> waitedNs_{0};
  // The check count at which the next decision falls; the maximum while one is being made.
  std::atomic<uint64_t> decideAt_{kWindow};

  // Only the thread making a decision touches these.
  uint64_t checksBefore_ = 0;
  uint64_t waitedBefore_ = 0;
  uint64_t waitedNsBefore_ = 0;
  bool settling_ = false;
  bool justDoubled_ = false;
  double rateBeforeDoubling_ = 0;  // files per nanosecond, estimated
  uint32_t holdLeft_ = 0;
};

}  // namespace kindprobe::cli
