// The registry operations the registration code needs, behind one interface: the Win32 side
// calls the Reg*W functions, the in-memory side models them for tests and tools. Every method
// answers a Win32 error code (0 on success) exactly as the Windows function it mirrors.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/hresult.h"

namespace kindprobe::platform {

// An open key. The value is opaque; only the predefined roots below have fixed values.
struct RegKey {
  std::uintptr_t raw = 0;
  friend constexpr bool operator==(RegKey, RegKey) = default;
};

inline constexpr RegKey kNoKey{0};
inline constexpr RegKey kHkeyClassesRoot{0x80000000u};
inline constexpr RegKey kHkeyCurrentUser{0x80000001u};
inline constexpr RegKey kHkeyLocalMachine{0x80000002u};
inline constexpr RegKey kHkeyUsers{0x80000003u};
inline constexpr RegKey kHkeyPerformanceData{0x80000004u};
inline constexpr RegKey kHkeyCurrentConfig{0x80000005u};
inline constexpr RegKey kHkeyDynData{0x80000006u};

constexpr bool IsPredefinedKey(RegKey key) {
  return key.raw >= kHkeyClassesRoot.raw && key.raw <= kHkeyDynData.raw;
}

// Access rights.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyNotify = 0x0010;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWrite = 0x20006;

// Value types.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// System error codes the registry answers with.
inline constexpr Win32Error kErrorSuccess = 0;
inline constexpr Win32Error kErrorFileNotFound = 2;
inline constexpr Win32Error kErrorAccessDenied = 5;
inline constexpr Win32Error kErrorInvalidHandle = 6;
inline constexpr Win32Error kErrorOutOfMemory = 14;
inline constexpr Win32Error kErrorInvalidParameter = 87;
inline constexpr Win32Error kErrorBadPathname = 161;
inline constexpr Win32Error kErrorMoreData = 234;
inline constexpr Win32Error kErrorNoMoreItems = 259;
inline constexpr Win32Error kErrorKeyDeleted = 1018;

// Longest key name (one level) the registry stores; an enumeration buffer holds it plus a NUL.
inline constexpr std::uint32_t kMaxKeyNameLength = 255;

class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyExW. A null or empty name opens `parent` itself again with the access asked for.
  virtual Win32Error OpenKey(RegKey parent, const char16_t* name, std::uint32_t access,
                             RegKey* result) = 0;
  // RegCreateKeyExW, non-volatile, no class: creates the key or opens the existing one.
  virtual Win32Error CreateKey(RegKey parent, const char16_t* name, std::uint32_t access,
                               RegKey* result) = 0;
  // RegSetValueExW. A null or empty name is the key's default value.
  virtual Win32Error SetValue(RegKey key, const char16_t* name, std::uint32_t type,
                              const void* data, std::uint32_t size) = 0;
  // RegDeleteValueW: ERROR_FILE_NOT_FOUND when there is no such value.
  virtual Win32Error DeleteValue(RegKey key, const char16_t* name) = 0;
  // RegDeleteKeyW: deletes one key; a key that still has subkeys is refused.
  virtual Win32Error DeleteKey(RegKey parent, const char16_t* name) = 0;
  // RegEnumKeyExW: `*length` is the buffer size in units on entry (NUL included) and the name's
  // length on success; ERROR_NO_MORE_ITEMS past the last subkey, ERROR_MORE_DATA when the name
  // does not fit.
  virtual Win32Error EnumKey(RegKey key, std::uint32_t index, char16_t* name,
                             std::uint32_t* length) = 0;
  // RegCloseKey. Closing a predefined root succeeds and does nothing.
  virtual Win32Error CloseKey(RegKey key) = 0;

  // Reading back, for inspection (tests, dumps): RegEnumValueW and RegQueryValueExW.
  virtual Win32Error EnumValue(RegKey key, std::uint32_t index, std::u16string* name) = 0;
  virtual Win32Error QueryValue(RegKey key, const char16_t* name, std::uint32_t* type,
                                std::vector<std::uint8_t>* data) = 0;
};

// Closes its key when it goes out of scope.
class ScopedRegKey {
 public:
  explicit ScopedRegKey(Registry& registry, RegKey key = kNoKey) : registry_(registry), key_(key) {}
  ScopedRegKey(const ScopedRegKey&) = delete;
  ScopedRegKey& operator=(const ScopedRegKey&) = delete;
  ~ScopedRegKey() { Close(); }

  RegKey get() const { return key_; }
  RegKey* receive() {
    Close();
    return &key_;
  }
  // Takes over `key`, closing the one held before.
  void Reset(RegKey key) {
    Close();
    key_ = key;
  }
  Win32Error Close() {
    if (key_ == kNoKey) return kErrorSuccess;
    const RegKey key = key_;
    key_ = kNoKey;
    return registry_.CloseKey(key);
  }

 private:
  Registry& registry_;
  RegKey key_;
};

#ifdef _WIN32
// The machine's own registry.
std::unique_ptr<Registry> CreateSystemRegistry();
#endif

}  // namespace kindprobe::platform
