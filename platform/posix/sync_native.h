// The mutex behind platform::Mutex on POSIX systems.
#pragma once

#include <mutex>

namespace kindprobe::platform {

using NativeMutex = std::mutex;

}  // namespace kindprobe::platform
