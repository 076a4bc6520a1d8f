#include <new>

#include "platform/text_routines.h"
#include "registration/registry_script.h"

namespace kindprobe::registration {

HResult ScriptRegistrar::QueryInterface(const InterfaceId& /*iid*/, void** object) {
  if (object != nullptr) *object = nullptr;
  return hr::kNotImpl;
}

std::uint32_t ScriptRegistrar::AddRef() { return 1; }

std::uint32_t ScriptRegistrar::Release() { return 0; }

HResult ScriptRegistrar::AppendReplacement(const char16_t* name, const char16_t* value) {
  if (name == nullptr || value == nullptr) return hr::kInvalidArg;
  try {
    replacements_.push_back(Replacement{name, value});  // leaves the list as it was on failure
  } catch (const std::bad_alloc&) {
    return hr::kOutOfMemory;
  }
  return hr::kOk;
}

HResult ScriptRegistrar::RemoveAllReplacements() {
  replacements_.clear();
  replacements_.shrink_to_fit();
  return hr::kOk;
}

ScriptRegistrar::~ScriptRegistrar() = default;

const char16_t* ScriptRegistrar::FindReplacement(const char16_t* name) const {
  for (const Replacement& replacement : replacements_) {
    if (platform::CompareNoCase(replacement.name.c_str(), name) == 0) {
      return replacement.value.c_str();
    }
  }
  return nullptr;
}

}  // namespace kindprobe::registration
