#include <windows.h>

#include <vector>

#include "platform/threads.h"
#include "platform/win32/unique_resource.h"

namespace kindprobe::platform {
namespace {

struct ThreadStart {
  const std::function<void(uint32_t)>* work;
  uint32_t index;
};

DWORD WINAPI ThreadMain(void* parameter) {
  const auto* start = static_cast<const ThreadStart*>(parameter);
  (*start->work)(start->index);
  return 0;
}

}  // namespace

void RunOnThreads(uint32_t threads, const std::function<void(uint32_t)>& work) {
  std::vector<ThreadStart> starts(threads);
  std::vector<win32::UniqueHandle> started;
  std::vector<uint32_t> notStarted;
  for (uint32_t i = 1; i < threads; ++i) {
    starts[i] = ThreadStart{&work, i};
    win32::UniqueHandle thread(::CreateThread(nullptr, 0, ThreadMain, &starts[i], 0, nullptr));
    if (thread) {
      started.push_back(std::move(thread));
    } else {
      notStarted.push_back(i);
    }
  }
  work(0);
  for (uint32_t i : notStarted) work(i);
  for (const win32::UniqueHandle& thread : started) ::WaitForSingleObject(thread.get(), INFINITE);
}

struct WaitPoint::State {
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
};

WaitPoint::WaitPoint() : state_(std::make_unique<State>()) {}
WaitPoint::~WaitPoint() = default;

void WaitPoint::WaitUntil(const std::function<bool()>& ready) {
  for (int i = 0; i < kYieldsBeforeSleeping; ++i) {
    if (ready()) return;
    ::SwitchToThread();
  }
  ::AcquireSRWLockExclusive(&state_->lock);
  waiters_.fetch_add(1);
  while (!ready()) ::SleepConditionVariableSRW(&state_->changed, &state_->lock, INFINITE, 0);
  waiters_.fetch_sub(1);
  ::ReleaseSRWLockExclusive(&state_->lock);
}

void WaitPoint::Wake() {
  if (waiters_.load() == 0) return;
  // Taking the lock orders this wake after a waiter's last look at its condition.
  ::AcquireSRWLockExclusive(&state_->lock);
  ::ReleaseSRWLockExclusive(&state_->lock);
  ::WakeAllConditionVariable(&state_->changed);
}

void WaitPoint::WakeOne() {
  if (waiters_.load() == 0) return;
  ::AcquireSRWLockExclusive(&state_->lock);
  ::ReleaseSRWLockExclusive(&state_->lock);
  ::WakeConditionVariable(&state_->changed);
}

}  // namespace kindprobe::platform
