// The number of threads a run without -j uses, driven by simulated storage; and how the
// threads a run does not want wait.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <thread>

#include "cli/scan/read_concurrency.h"
#include "platform/threads.h"

namespace kindprobe::cli {
namespace {

using std::chrono::microseconds;
using std::chrono::nanoseconds;

// Runs `checks` checks on as many threads as `concurrency` wants: each takes what `storage`
// says for the number of threads there were when it began (a check that ends began while the
// others in flight did). Returns the most threads seen.
uint32_t Feed(ReadConcurrency& concurrency, int checks,
              const std::function<nanoseconds(uint32_t threads)>& storage) {
  std::deque<uint32_t> inFlight;  // for each check running, the threads when it began
  uint32_t most = concurrency.active();
  for (int i = 0; i < checks; ++i) {
    while (inFlight.size() < concurrency.active()) inFlight.push_back(concurrency.active());
    const uint32_t began = inFlight.front();
    inFlight.pop_front();
    concurrency.Record(storage(began));
    most = std::max(most, concurrency.active());
  }
  return most;
}

TEST(ReadConcurrency, AFixedCountNeverChanges) {
  ReadConcurrency fixed(8, 8);
  EXPECT_FALSE(fixed.adapts());
  EXPECT_EQ(Feed(fixed, 5000, [](uint32_t) { return microseconds(2000); }), 8u);
  EXPECT_EQ(fixed.active(), 8u);
}

TEST(ReadConcurrency, CachedFilesKeepOneThreadPerCore) {
  ReadConcurrency concurrency(2, 64);
  // A cached check takes microseconds; now and then one is delayed by the scheduler.
  int i = 0;
  const uint32_t most = Feed(concurrency, 20000, [&](uint32_t) {
    return ++i % 50 == 0 ? microseconds(3000) : microseconds(5);
  });
  EXPECT_EQ(most, 2u);
}

TEST(ReadConcurrency, StorageThatServesManyReadsAtOnceGetsThemAndGivesThemBack) {
  ReadConcurrency concurrency(2, 64);
  // Each read waits 400 µs however many are in flight.
  Feed(concurrency, 5000, [](uint32_t) { return microseconds(400); });
  EXPECT_EQ(concurrency.active(), 64u);
  // The rest of the files are cached: back to one thread per core.
  Feed(concurrency, 5000, [](uint32_t) { return microseconds(5); });
  EXPECT_EQ(concurrency.active(), 2u);
}

TEST(ReadConcurrency, StorageThatServesOneReadAtATimeDoesNotGetMore) {
  ReadConcurrency concurrency(2, 64);
  // A rotating disk: each read in flight waits for those ahead of it, so a read takes longer
  // the more there are, and no more finish per second.
  const uint32_t most =
      Feed(concurrency, 20000, [](uint32_t threads) { return microseconds(8000) * threads; });
  // Doubling is tried now and then, and given up each time.
  EXPECT_LE(most, 4u);
  EXPECT_EQ(concurrency.active(), 2u);
}

TEST(ReadConcurrency, StorageThatSaturatesStopsWhereMoreNoLongerPays) {
  ReadConcurrency concurrency(2, 64);
  // Serves up to 16 reads at once: beyond that, reads queue.
  Feed(concurrency, 20000, [](uint32_t threads) {
    return microseconds(500) * std::max<uint32_t>(1, threads / 16);
  });
  EXPECT_GE(concurrency.active(), 16u);
  EXPECT_LE(concurrency.active(), 32u);
}

// Waiters sleep: once they have given up their processor a few times, their condition is
// looked at again only when someone wakes them. A waiter that polled would look at it
// thousands of times in the pause below, however busy the machine; the count does not
// depend on how long anything takes.
TEST(WaitPoint, WaitersLookOnlyWhenWoken) {
  constexpr uint32_t kWaiters = 8;
  constexpr uint64_t kLooksBeforeSleeping = platform::WaitPoint::kYieldsBeforeSleeping + 1;
  // The system may wake a sleeping thread now and then for no reason.
  constexpr uint64_t kSpuriousAllowed = kWaiters;
  platform::WaitPoint point;
  std::atomic<bool> go{false};
  std::atomic<uint64_t> looks{0};
  uint64_t whileAsleep = 0;
  uint64_t afterOneWake = 0;
  platform::RunOnThreads(kWaiters + 1, [&](uint32_t thread) {
    if (thread != 0) {
      point.WaitUntil([&] {
        looks.fetch_add(1);
        return go.load();
      });
      return;
    }
    while (looks.load() < kWaiters * kLooksBeforeSleeping) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    whileAsleep = looks.load() - kWaiters * kLooksBeforeSleeping;
    point.Wake();  // nothing changed: each waiter looks once and sleeps again
    while (looks.load() < kWaiters * (kLooksBeforeSleeping + 1)) std::this_thread::yield();
    afterOneWake = looks.load() - kWaiters * (kLooksBeforeSleeping + 1);
    go.store(true);
    point.Wake();
  });
  EXPECT_LE(whileAsleep, kSpuriousAllowed);
  EXPECT_LE(afterOneWake, 2 * kSpuriousAllowed);
}

}  // namespace
}  // namespace kindprobe::cli
