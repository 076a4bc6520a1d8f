// The player's StorePath registry value, written for a test and removed after it: the setting
// both Kindprobe.dll and kindprobe-1.dll read.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "platform/win32/unique_resource.h"

namespace kindprobe::wintest {

inline constexpr const wchar_t* kPlayerKey = L"SOFTWARE\\Tessmark\\Vireo";
inline constexpr const wchar_t* kMakerKey = L"SOFTWARE\\Tessmark";
inline constexpr size_t kStorePathUnits = 772;

// Writes StorePath for the life of the object and removes the player's key afterwards.
class StorePathValue {
 public:
  StorePathValue(const void* data, DWORD bytes) {
    platform::win32::UniqueRegKey key;
    result_ = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPlayerKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                                key.put(), nullptr);
    if (result_ != ERROR_SUCCESS) return;
    result_ = ::RegSetValueExW(key.get(), L"StorePath", 0, REG_SZ,
                               static_cast<const BYTE*>(data), bytes);
  }
  explicit StorePathValue(const std::wstring& text)
      : StorePathValue(text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) {}
  ~StorePathValue() {
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kPlayerKey);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kMakerKey);
  }
  StorePathValue(const StorePathValue&) = delete;
  StorePathValue& operator=(const StorePathValue&) = delete;
  bool ok() const { return result_ == ERROR_SUCCESS; }

 private:
  LONG result_;
};

}  // namespace kindprobe::wintest
