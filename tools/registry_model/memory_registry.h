// A registry held in memory that behaves like the Windows one where the registration code can
// tell: names compared without regard to case, subkeys enumerated in case-insensitive
// alphabetical order, values in the order they were first set, a key with subkeys refused on
// deletion, per-handle access rights, handles of a deleted key reporting ERROR_KEY_DELETED.
// Also the .reg text form ("Windows Registry Editor Version 5.00") of any Registry, both ways.
// Tests, fuzz targets and tools stand it in for the system registry; no product code links it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace kindprobe::registry_model {

class MemoryRegistry final : public platform::Registry {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;
  MemoryRegistry(const MemoryRegistry&) = delete;
  MemoryRegistry& operator=(const MemoryRegistry&) = delete;

  Win32Error OpenKey(platform::RegKey parent, const char16_t* name, std::uint32_t access,
                     platform::RegKey* result) override;
  Win32Error CreateKey(platform::RegKey parent, const char16_t* name, std::uint32_t access,
                       platform::RegKey* result) override;
  Win32Error SetValue(platform::RegKey key, const char16_t* name, std::uint32_t type,
                      const void* data, std::uint32_t size) override;
  Win32Error DeleteValue(platform::RegKey key, const char16_t* name) override;
  Win32Error DeleteKey(platform::RegKey parent, const char16_t* name) override;
  Win32Error EnumKey(platform::RegKey key, std::uint32_t index, char16_t* name,
                     std::uint32_t* length) override;
  Win32Error CloseKey(platform::RegKey key) override;
  Win32Error EnumValue(platform::RegKey key, std::uint32_t index, std::u16string* name) override;
  Win32Error QueryValue(platform::RegKey key, const char16_t* name, std::uint32_t* type,
                        std::vector<std::uint8_t>* data) override;

  // Marks an existing key as one the caller may read but not change, as an access control
  // list would: opening it for writing, creating below it, setting or deleting its values and
  // deleting it are refused with ERROR_ACCESS_DENIED.
  Win32Error SetReadOnly(platform::RegKey parent, const char16_t* name, bool readOnly);

  // Handles handed out and not yet closed (predefined roots never count).
  std::size_t OpenHandleCount() const { return handles_.size(); }

 private:
  struct Node;
  struct Handle {
    std::shared_ptr<Node> node;
    std::uint32_t access;
  };

  // The key an open handle refers to, or an error code.
  Win32Error Resolve(platform::RegKey key, Handle* handle);
  // Follows a backslash-separated path below `start`; an empty path is `start` itself.
  Win32Error Walk(const std::shared_ptr<Node>& start, std::u16string_view path,
                  std::shared_ptr<Node>* found);
  platform::RegKey AddHandle(std::shared_ptr<Node> node, std::uint32_t access);

  std::vector<std::shared_ptr<Node>> roots_;
  std::map<std::uintptr_t, Handle> handles_;
  std::uintptr_t next_handle_ = 0x1000;
};

// The .reg text of every predefined root's content, or of one key and its subtree, filed
// under `path` (e.g. u"HKEY_CURRENT_USER\\Software\\Test").
std::string ExportRegText(platform::Registry& registry);
std::string ExportRegText(platform::Registry& registry, platform::RegKey key,
                          const std::u16string& path);

// Applies a .reg text (UTF-8, as ExportRegText writes it or as regedit exports it once
// converted): [key] sections, [-key] removals, "name"= / @= values as strings, dword:, hex: and
// hex(n):, "name"=- removals. False, with a message naming the line, on malformed text.
bool ImportRegText(platform::Registry& registry, std::string_view text, std::string* error);

// The root key of a predefined name ("HKEY_CLASSES_ROOT" or "HKCR"), or kNoKey.
platform::RegKey PredefinedKeyFromName(std::u16string_view name);
// The full name of a predefined root ("HKEY_CLASSES_ROOT"), or empty.
std::u16string PredefinedKeyName(platform::RegKey key);

}  // namespace kindprobe::registry_model
