#include <windows.h>

#include "platform/module_resource.h"
#include "resource_ids.h"

namespace kindprobe::platform {

std::span<const uint8_t> RuleTextResource(ModuleHandle module) {
  // The rule text is filed under the Chinese (PRC) language only; asking for exactly that
  // language finds it whatever the thread's UI language is.
  const auto instance = static_cast<HMODULE>(module);
  HRSRC info = ::FindResourceExW(instance, L"TEXT", MAKEINTRESOURCEW(KINDPROBE_RULE_TEXT_RESOURCE),
                                 KINDPROBE_RULE_TEXT_LANGUAGE);
  if (info == nullptr) return {};
  const DWORD size = ::SizeofResource(instance, info);
  HGLOBAL loaded = ::LoadResource(instance, info);
  if (loaded == nullptr || size == 0) return {};
  // Resource memory is the mapped module image: it needs no release and lives as long as the
  // module.
  const void* bytes = ::LockResource(loaded);
  if (bytes == nullptr) return {};
  return {static_cast<const uint8_t*>(bytes), size};
}

}  // namespace kindprobe::platform
