// Forced into every GoogleTest compilation of the Windows tests. MinGW's win32 thread model has
// no std::mutex or std::condition_variable, which GoogleTest's Notification is built on; this
// one rests on a Win32 event and takes its place.
#pragma once

#ifdef __cplusplus
#include <windows.h>

#include "../../platform/win32/unique_resource.h"

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
 public:
  Notification() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { ::SetEvent(event_.get()); }
  void WaitForNotification() { ::WaitForSingleObject(event_.get(), INFINITE); }

 private:
  kindprobe::platform::win32::UniqueHandle event_;
};

}  // namespace testing::internal
#endif
