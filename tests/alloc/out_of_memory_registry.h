// The in-memory registry standing for the system's under allocation failure: like
// RegCreateKeyExW and its kin, a call that runs out of memory answers ERROR_OUTOFMEMORY rather
// than throwing. It forwards to a model the test owns, so the model can outlive (or be checked
// after) the registry object the code under test was handed.
#pragma once

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "tools/registry_model/memory_registry.h"

namespace kindprobe::alloctest {

class OutOfMemoryAsError final : public platform::Registry {
 public:
  explicit OutOfMemoryAsError(registry_model::MemoryRegistry& model) : model_(model) {}

  registry_model::MemoryRegistry& model() { return model_; }

  Win32Error OpenKey(platform::RegKey parent, const char16_t* name, std::uint32_t access,
                     platform::RegKey* result) override {
    return Guard([&] { return model_.OpenKey(parent, name, access, result); });
  }
  Win32Error CreateKey(platform::RegKey parent, const char16_t* name, std::uint32_t access,
                       platform::RegKey* result) override {
    return Guard([&] { return model_.CreateKey(parent, name, access, result); });
  }
  Win32Error SetValue(platform::RegKey key, const char16_t* name, std::uint32_t type,
                      const void* data, std::uint32_t size) override {
    return Guard([&] { return model_.SetValue(key, name, type, data, size); });
  }
  Win32Error DeleteValue(platform::RegKey key, const char16_t* name) override {
    return Guard([&] { return model_.DeleteValue(key, name); });
  }
  Win32Error DeleteKey(platform::RegKey parent, const char16_t* name) override {
    return Guard([&] { return model_.DeleteKey(parent, name); });
  }
  Win32Error EnumKey(platform::RegKey key, std::uint32_t index, char16_t* name,
                     std::uint32_t* length) override {
    return Guard([&] { return model_.EnumKey(key, index, name, length); });
  }
  Win32Error CloseKey(platform::RegKey key) override {
    return Guard([&] { return model_.CloseKey(key); });
  }
  Win32Error EnumValue(platform::RegKey key, std::uint32_t index, std::u16string* name) override {
    return Guard([&] { return model_.EnumValue(key, index, name); });
  }
  Win32Error QueryValue(platform::RegKey key, const char16_t* name, std::uint32_t* type,
                        std::vector<std::uint8_t>* data) override {
    return Guard([&] { return model_.QueryValue(key, name, type, data); });
  }

 private:
  template <typename Call>
  static Win32Error Guard(Call call) {
    try {
      return call();
    } catch (const std::bad_alloc&) {
      return platform::kErrorOutOfMemory;
    }
  }

  registry_model::MemoryRegistry& model_;
};

}  // namespace kindprobe::alloctest
