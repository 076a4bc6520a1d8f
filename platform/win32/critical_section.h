// Win32 critical sections, re-entrant by nature, whose initialisation can fail
// and says so instead of raising.
#pragma once

#include <windows.h>

#include "platform/sync.h"

namespace kindprobe::platform::win32 {

class CriticalSection {
 public:
  CriticalSection() = default;
  ~CriticalSection() { Term(); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  // S_OK, E_OUTOFMEMORY when the system is out of memory, E_FAIL for any other failure.
  HRESULT Init();
  // Deletes the section if it was initialised; a second call does nothing.
  void Term();
  bool IsInitialized() const { return initialized_; }

  // Held with platform::LockGuard.
  void lock() { ::EnterCriticalSection(&section_); }
  void unlock() { ::LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_{};
  bool initialized_ = false;
};

}  // namespace kindprobe::platform::win32
