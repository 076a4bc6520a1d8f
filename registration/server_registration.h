// Self-registration of Kindprobe.dll: its two registry scripts, its class entries, its type
// library and its proxy/stub. DllRegisterServer and DllUnregisterServer run these in a fixed
// order and stop at the first failure; what earlier steps did stays done.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <span>

namespace kindprobe::component {
struct ClassEntry;
}

namespace kindprobe::registration {

// A replacement value a caller hands a script run on top of the module's common ones.
struct ScriptReplacement {
  const wchar_t* name;
  const wchar_t* value;
};

// Module paths are read into a buffer of this many characters (NUL included). A path that
// fills it may have been cut, so it is refused rather than registered wrongly.
inline constexpr DWORD kModulePathCapacity = MAX_PATH;

// Loads REGISTRY resource `resourceId` of the module and registers (`doRegister`) or
// unregisters it, with "APPID", "Module" (the module path, single quotes doubled) and
// "Module_Raw" as replacements after the caller's `extra` ones.
HRESULT RunRegistryScript(UINT resourceId, bool doRegister,
                          std::span<const ScriptReplacement> extra = {});

// The module's type library: TYPELIB resource 1 of the module file, or, failing that, the file
// of the same name with the extension ".tlb" beside it. `*path` is the file actually loaded.
HRESULT LoadModuleTypeLib(HMODULE module, ITypeLib** typeLib, BSTR* path);
// Registers that library with the folder of its file as help directory.
HRESULT RegisterModuleTypeLib(HMODULE module);
// Removes the library's registration; a library that is not registered counts as removed.
HRESULT UnregisterModuleTypeLib(HMODULE module);

// Each entry's registry script, then its component categories (in reverse when removing).
HRESULT RegisterClassEntries(std::span<component::ClassEntry> entries);
HRESULT UnregisterClassEntries(std::span<component::ClassEntry> entries);

// The code page the 8-bit script resources are widened from, chosen once per process.
UINT ScriptCodePage();

}  // namespace kindprobe::registration
