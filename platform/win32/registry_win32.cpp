// The Registry seam over the Windows registry functions.
#include <windows.h>

#include "platform/registry.h"

namespace kindprobe::platform {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));
static_assert(kKeyRead == KEY_READ && kKeyWrite == KEY_WRITE);
static_assert(kRegSz == REG_SZ && kRegMultiSz == REG_MULTI_SZ && kRegDword == REG_DWORD &&
              kRegBinary == REG_BINARY);
static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND &&
              kErrorAccessDenied == ERROR_ACCESS_DENIED && kErrorMoreData == ERROR_MORE_DATA &&
              kErrorNoMoreItems == ERROR_NO_MORE_ITEMS && kErrorKeyDeleted == ERROR_KEY_DELETED);

// Longest value name the registry stores, plus its NUL.
constexpr DWORD kValueNameCapacity = 16384;

HKEY ToHkey(RegKey key) {
  switch (key.raw) {
    case kHkeyClassesRoot.raw: return HKEY_CLASSES_ROOT;
    case kHkeyCurrentUser.raw: return HKEY_CURRENT_USER;
    case kHkeyLocalMachine.raw: return HKEY_LOCAL_MACHINE;
    case kHkeyUsers.raw: return HKEY_USERS;
    case kHkeyPerformanceData.raw: return HKEY_PERFORMANCE_DATA;
    case kHkeyCurrentConfig.raw: return HKEY_CURRENT_CONFIG;
    case kHkeyDynData.raw: return HKEY_DYN_DATA;
    default: return reinterpret_cast<HKEY>(key.raw);
  }
}

RegKey FromHkey(HKEY key) { return RegKey{reinterpret_cast<std::uintptr_t>(key)}; }

LPCWSTR Wide(const char16_t* text) { return reinterpret_cast<LPCWSTR>(text); }

class Win32Registry final : public Registry {
 public:
  Win32Error OpenKey(RegKey parent, const char16_t* name, std::uint32_t access,
                     RegKey* result) override {
    HKEY opened = nullptr;
    const LSTATUS status = RegOpenKeyExW(ToHkey(parent), Wide(name), 0, access, &opened);
    if (status == ERROR_SUCCESS) *result = FromHkey(opened);
    return status;
  }

  Win32Error CreateKey(RegKey parent, const char16_t* name, std::uint32_t access,
                       RegKey* result) override {
    HKEY created = nullptr;
    const LSTATUS status =
        RegCreateKeyExW(ToHkey(parent), Wide(name == nullptr ? u"" : name), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, access, nullptr, &created, nullptr);
    if (status == ERROR_SUCCESS) *result = FromHkey(created);
    return status;
  }

  Win32Error SetValue(RegKey key, const char16_t* name, std::uint32_t type, const void* data,
                      std::uint32_t size) override {
    return RegSetValueExW(ToHkey(key), Wide(name), 0, type, static_cast<const BYTE*>(data), size);
  }

  Win32Error DeleteValue(RegKey key, const char16_t* name) override {
    return RegDeleteValueW(ToHkey(key), Wide(name));
  }

  Win32Error DeleteKey(RegKey parent, const char16_t* name) override {
    return RegDeleteKeyW(ToHkey(parent), Wide(name));
  }

  Win32Error EnumKey(RegKey key, std::uint32_t index, char16_t* name,
                     std::uint32_t* length) override {
    DWORD units = *length;
    const LSTATUS status = RegEnumKeyExW(ToHkey(key), index, reinterpret_cast<LPWSTR>(name),
                                         &units, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) *length = units;
    return status;
  }

  Win32Error CloseKey(RegKey key) override {
    if (IsPredefinedKey(key)) return ERROR_SUCCESS;
    return RegCloseKey(ToHkey(key));
  }

  Win32Error EnumValue(RegKey key, std::uint32_t index, std::u16string* name) override {
    std::u16string buffer(kValueNameCapacity, u'\0');
    DWORD units = kValueNameCapacity;
    const LSTATUS status = RegEnumValueW(ToHkey(key), index, reinterpret_cast<LPWSTR>(buffer.data()),
                                         &units, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) *name = buffer.substr(0, units);
    return status;
  }

  Win32Error QueryValue(RegKey key, const char16_t* name, std::uint32_t* type,
                        std::vector<std::uint8_t>* data) override {
    for (;;) {
      DWORD size = 0;
      DWORD valueType = 0;
      LSTATUS status = RegQueryValueExW(ToHkey(key), Wide(name), nullptr, &valueType, nullptr,
                                        &size);
      if (status != ERROR_SUCCESS) return status;
      std::vector<std::uint8_t> bytes(size);
      status = RegQueryValueExW(ToHkey(key), Wide(name), nullptr, &valueType,
                                bytes.empty() ? nullptr : bytes.data(), &size);
      if (status == ERROR_MORE_DATA) continue;  // the value grew in between
      if (status != ERROR_SUCCESS) return status;
      bytes.resize(size);
      if (type != nullptr) *type = valueType;
      if (data != nullptr) *data = std::move(bytes);
      return ERROR_SUCCESS;
    }
  }
};

}  // namespace

std::unique_ptr<Registry> CreateSystemRegistry() { return std::make_unique<Win32Registry>(); }

}  // namespace kindprobe::platform
