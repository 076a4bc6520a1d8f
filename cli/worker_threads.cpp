#include "cli/worker_threads.h"

#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sched.h>
#include <time.h>

#include <system_error>
#include <thread>
#endif

namespace kindprobe::cli {
namespace {

// Yielding is enough for short waits; past this many attempts the thread sleeps instead.
constexpr unsigned kYieldsBeforeSleeping = 64;

}  // namespace

#ifdef _WIN32

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

void PauseBriefly(unsigned attempt) {
  if (attempt < kYieldsBeforeSleeping) {
    ::SwitchToThread();
  } else {
    ::Sleep(1);
  }
}

void RunOnThreads(uint32_t threads, const std::function<void(uint32_t)>& work) {
  std::vector<ThreadStart> starts(threads);
  std::vector<HANDLE> handles;
  std::vector<uint32_t> notStarted;
  for (uint32_t i = 1; i < threads; ++i) {
    starts[i] = ThreadStart{&work, i};
    HANDLE handle = ::CreateThread(nullptr, 0, ThreadMain, &starts[i], 0, nullptr);
    if (handle != nullptr) {
      handles.push_back(handle);
    } else {
      notStarted.push_back(i);
    }
  }
  work(0);
  for (uint32_t i : notStarted) work(i);
  for (HANDLE handle : handles) {
    ::WaitForSingleObject(handle, INFINITE);
    ::CloseHandle(handle);
  }
}

#else

void PauseBriefly(unsigned attempt) {
  if (attempt < kYieldsBeforeSleeping) {
    ::sched_yield();
  } else {
    const timespec pause{0, 50'000};
    ::nanosleep(&pause, nullptr);
  }
}

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

#endif

}  // namespace kindprobe::cli
