// A plain mutex that works in every toolchain we ship with (MinGW's win32 thread model has no
// std::mutex), and that can live in static storage from before any constructor runs.
#pragma once

// NativeMutex: platform/posix/ or platform/win32/, whichever side the build picked.
#include "sync_native.h"

namespace kindprobe::platform {

class Mutex {
 public:
  constexpr Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void lock() { native_.lock(); }
  void unlock() { native_.unlock(); }

 private:
  NativeMutex native_;
};

template <typename M>
class LockGuard {
 public:
  explicit LockGuard(M& m) : m_(m) { m_.lock(); }
  ~LockGuard() { m_.unlock(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  M& m_;
};

}  // namespace kindprobe::platform
