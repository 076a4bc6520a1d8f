// Threads for the command line's workers, and a place where they sleep until there is
// something to do. MinGW's win32 thread model has no std::thread or std::condition_variable,
// so each side brings its own behind these declarations.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace kindprobe::platform {

// Calls `work(i)` for i in [0, threads): i = 0 on the calling thread, the others on new
// threads. Returns when every call has returned. A thread that cannot be started has its share
// run on the calling thread, so the work is always done.
void RunOnThreads(uint32_t threads, const std::function<void(uint32_t)>& work);

// Threads wait here, without using the processor, until a condition they read from atomics
// holds. Whoever changes what a condition reads calls Wake afterwards; Wake costs one atomic
// load while nobody waits.
class WaitPoint {
 public:
  // How many times a waiter yields before it sleeps.
  static constexpr int kYieldsBeforeSleeping = 16;

  WaitPoint();
  ~WaitPoint();
  WaitPoint(const WaitPoint&) = delete;
  WaitPoint& operator=(const WaitPoint&) = delete;

  // Returns once `ready()` is true; it is called again after every Wake. The thread first
  // gives its processor up a few times, looking between (what it waits for mostly comes within
  // microseconds, and going to sleep and being woken costs more), then sleeps.
  void WaitUntil(const std::function<bool()>& ready);
  // Lets every waiter look at its condition again.
  void Wake();
  // Lets one waiter look: for a change that one waiter can take up, such as one piece of work.
  void WakeOne();

 private:
  struct State;
  std::unique_ptr<State> state_;
  // Read by Wake outside the lock. Sequentially consistent on both sides, so that a waiter
  // either sees the change that Wake announces or is counted before Wake looks.
  std::atomic<uint32_t> waiters_{0};
};

}  // namespace kindprobe::platform
