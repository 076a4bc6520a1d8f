#include <windows.h>

#include <algorithm>

#include "platform/player_settings.h"
#include "platform/win32/unique_resource.h"

namespace kindprobe::platform {

// The registry holds the setting here.
void SetStorePath(std::optional<std::u16string>) {}

bool ReadStorePath(char16_t* buffer) {
  std::fill_n(buffer, kStorePathCapacity, u'\0');
  win32::UniqueRegKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tessmark\\Vireo", 0, KEY_READ, key.put()) !=
      ERROR_SUCCESS) {
    return false;
  }
  // The value's type is not examined: whatever the player stored, its data is the path.
  DWORD size = static_cast<DWORD>(kStorePathCapacity * sizeof(char16_t));
  if (::RegQueryValueExW(key.get(), L"StorePath", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                         &size) != ERROR_SUCCESS) {
    std::fill_n(buffer, kStorePathCapacity, u'\0');
    return false;
  }
  // Data that fills the whole buffer without a terminator is no string we can use.
  if (buffer[kStorePathCapacity - 1] != u'\0') {
    std::fill_n(buffer, kStorePathCapacity, u'\0');
    return false;
  }
  return true;
}

std::u16string AbsolutePath(std::u16string_view path) { return std::u16string(path); }

}  // namespace kindprobe::platform
