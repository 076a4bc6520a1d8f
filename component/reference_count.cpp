#include "component/reference_count.h"

#include "component/server_module.h"
#include "platform/sync.h"

namespace kindprobe::component {

ULONG AddReference(platform::win32::CriticalSection& lock, LONG& count) {
  platform::LockGuard guard(lock);
  const LONG now = ++count;
  if (now == 2) ServerModule().Lock();
  return static_cast<ULONG>(now);
}

ULONG ReleaseReference(platform::win32::CriticalSection& lock, LONG& count) {
  LONG now;
  {
    platform::LockGuard guard(lock);
    now = --count;
  }
  if (now == 1) ServerModule().Unlock();
  return static_cast<ULONG>(now);
}

}  // namespace kindprobe::component
