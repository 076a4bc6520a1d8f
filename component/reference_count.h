// The reference count both COM objects keep. Each object changes it only under its own
// critical section, and the module's lock count follows it: the one reference the object's
// owner keeps holds no module lock, all client references together hold exactly one.
#pragma once

#include <windows.h>

#include "platform/win32/critical_section.h"

namespace kindprobe::component {

// One reference more; the second one takes the module lock. Returns the new count.
ULONG AddReference(platform::win32::CriticalSection& lock, LONG& count);

// One reference less; back at one, the module lock is given back. Returns the new count: at
// zero the caller destroys the object.
ULONG ReleaseReference(platform::win32::CriticalSection& lock, LONG& count);

}  // namespace kindprobe::component
