// A checker used from two threads at once would share its buffers; the second caller is
// refused instead. A flag, not a lock: waiting would only hide the caller's mistake.
#pragma once

#include <atomic>

namespace kindprobe::library {

// Holds `flag` for one call when no other thread holds it.
class BusyFlag {
 public:
  explicit BusyFlag(std::atomic_flag& flag)
      : flag_(flag), held_(!flag.test_and_set(std::memory_order_acquire)) {}
  ~BusyFlag() {
    if (held_) flag_.clear(std::memory_order_release);
  }
  BusyFlag(const BusyFlag&) = delete;
  BusyFlag& operator=(const BusyFlag&) = delete;

  // False: another thread is using the checker.
  bool held() const { return held_; }

 private:
  std::atomic_flag& flag_;
  const bool held_;
};

}  // namespace kindprobe::library
