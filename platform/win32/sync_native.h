// The mutex behind platform::Mutex on Windows: a slim reader/writer lock, which needs neither
// initialisation nor deletion.
#pragma once

#include <windows.h>

namespace kindprobe::platform {

class NativeMutex {
 public:
  constexpr NativeMutex() = default;
  NativeMutex(const NativeMutex&) = delete;
  NativeMutex& operator=(const NativeMutex&) = delete;

  void lock() { AcquireSRWLockExclusive(&lock_); }
  void unlock() { ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};

}  // namespace kindprobe::platform
