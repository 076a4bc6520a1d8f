#include "cli/scan/read_concurrency.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace kindprobe::cli {
namespace {

constexpr uint64_t kDeciding = std::numeric_limits<uint64_t>::max();
// Doubling must raise the estimated files per second by this much to be kept.
constexpr double kWorthDoubling = 1.25;

}  // namespace

ReadConcurrency::ReadConcurrency(uint32_t fewest, uint32_t most)
    : fewest_(std::max<uint32_t>(fewest, 1)),
      most_(std::max(most, fewest_)),
      active_(fewest_) {}

bool ReadConcurrency::Record(std::chrono::nanoseconds took) {
  if (!adapts()) return false;
  if (took >= kWaited) {
    waitedNs_.fetch_add(static_cast<uint64_t>(took.count()), std::memory_order_relaxed);
    waited_.fetch_add(1, std::memory_order_relaxed);
  }
  const uint64_t checks = checks_.fetch_add(1, std::memory_order_relaxed) + 1;
  uint64_t due = decideAt_.load(std::memory_order_relaxed);
  // One thread claims each decision; the others go on.
  if (checks < due || !decideAt_.compare_exchange_strong(due, kDeciding)) return false;
  const uint32_t before = active();
  const uint64_t waited = waited_.load(std::memory_order_relaxed);
  const uint64_t waitedNs = waitedNs_.load(std::memory_order_relaxed);
  // Other threads' counts may run a check ahead or behind: a window is an estimate.
  Decide(checks - checksBefore_, waited - std::min(waited, waitedBefore_),
         waitedNs - std::min(waitedNs, waitedNsBefore_));
  checksBefore_ = checks;
  waitedBefore_ = waited;
  waitedNsBefore_ = waitedNs;
  const uint32_t after = active();
  settling_ = after != before;
  // Releases this decision's state to the thread that claims the next one.
  decideAt_.store(checks + std::max<uint64_t>(kWindow, 2 * uint64_t{after}),
                  std::memory_order_release);
  return after != before;
}

void ReadConcurrency::Decide(uint64_t checks, uint64_t waited, uint64_t waitedNs) {
  // The window after a change holds checks begun before it: it says nothing of the new count.
  if (std::exchange(settling_, false)) return;
  const uint32_t active = this->active();
  const auto set = [this](uint32_t count) {
    // Sequentially consistent, as the wake that follows requires (see WaitPoint).
    active_.store(std::clamp(count, fewest_, most_));
  };
  // Few checks wait: the files come from the cache, and one thread per core is best.
  if (waited * 8 < checks) {
    justDoubled_ = false;
    holdLeft_ = 0;
    if (active > fewest_) set(active / 2);
    return;
  }
  // Some wait, most do not: keep what there is.
  if (waited * 4 < checks) return;

  const double rate = static_cast<double>(active) * static_cast<double>(waited) /
                      static_cast<double>(std::max<uint64_t>(waitedNs, 1));
  if (justDoubled_) {
    justDoubled_ = false;
    if (rate < rateBeforeDoubling_ * kWorthDoubling) {
      // More reads in flight did not make them finish sooner: the storage is saturated.
      set(active / 2);
      holdLeft_ = kHoldWindows;
      return;
    }
  }
  if (holdLeft_ > 0) {
    --holdLeft_;
    return;
  }
  if (active < most_) {
    rateBeforeDoubling_ = rate;
    justDoubled_ = true;
    set(active * 2);
  }
}

}  // namespace kindprobe::cli
