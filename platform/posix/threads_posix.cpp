#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/threads.h"

namespace kindprobe::platform {

void RunOnThreads(uint32_t threads, const std::function<void(uint32_t)>& work) {
  std::vector<std::thread> started;
  std::vector<uint32_t> notStarted;
  started.reserve(threads);
  for (uint32_t i = 1; i < threads; ++i) {
    try {
      started.emplace_back(work, i);
    } catch (const std::system_error&) {
      notStarted.push_back(i);
    }
  }
  work(0);
  for (uint32_t i : notStarted) work(i);
  for (std::thread& thread : started) thread.join();
}

struct WaitPoint::State {
  std::mutex mutex;
  std::condition_variable changed;
};

WaitPoint::WaitPoint() : state_(std::make_unique<State>()) {}
WaitPoint::~WaitPoint() = default;

void WaitPoint::WaitUntil(const std::function<bool()>& ready) {
  for (int i = 0; i < kYieldsBeforeSleeping; ++i) {
    if (ready()) return;
    std::this_thread::yield();
  }
  std::unique_lock lock(state_->mutex);
  waiters_.fetch_add(1);
  while (!ready()) state_->changed.wait(lock);
  waiters_.fetch_sub(1);
}

void WaitPoint::Wake() {
  if (waiters_.load() == 0) return;
  // Taking the lock orders this wake after a waiter's last look at its condition.
  { std::lock_guard lock(state_->mutex); }
  state_->changed.notify_all();
}

void WaitPoint::WakeOne() {
  if (waiters_.load() == 0) return;
  { std::lock_guard lock(state_->mutex); }
  state_->changed.notify_one();
}

}  // namespace kindprobe::platform
