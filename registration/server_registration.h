// Self-registration of an in-process server: its registry scripts from its REGISTRY resources
// and its type library. The module supplies its file and its common replacement values through
// RegistrarModule; what to register, and in which order, is the module's business.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <span>

#include "registration/registry_script.h"

namespace kindprobe::registration {

// A replacement value a caller hands a script run on top of the module's common ones.
struct ScriptReplacement {
  const wchar_t* name;
  const wchar_t* value;
};

// What the registrar needs from the module whose scripts it runs.
class RegistrarModule {
 public:
  // The module whose file holds the scripts and the type library.
  virtual HMODULE ModuleHandle() const = 0;
  // Adds the replacement values every registry script of the module may use.
  virtual HRESULT AddCommonReplacements(ScriptRegistrar& registrar) = 0;

 protected:
  ~RegistrarModule() = default;
};

// Module paths are read into a buffer of this many characters (NUL included). A path that
// fills it may have been cut, so it is refused rather than registered wrongly.
inline constexpr DWORD kModulePathCapacity = MAX_PATH;

// Loads REGISTRY resource `resourceId` of the module and registers (`doRegister`) or
// unregisters it, with the module's common replacements, "Module" (the module path, single
// quotes doubled) and "Module_Raw" after the caller's `extra` ones.
HRESULT RunRegistryScript(RegistrarModule& module, UINT resourceId, bool doRegister,
                          std::span<const ScriptReplacement> extra = {});

// The module's type library: TYPELIB resource 1 of the module file, or, failing that, the file
// of the same name with the extension ".tlb" beside it. `*path` is the file actually loaded.
HRESULT LoadModuleTypeLib(HMODULE module, ITypeLib** typeLib, BSTR* path);
// Registers that library with the folder of its file as help directory.
HRESULT RegisterModuleTypeLib(HMODULE module);
// Removes the library's registration; a library that is not registered counts as removed.
HRESULT UnregisterModuleTypeLib(HMODULE module);

// The code page the 8-bit script resources are widened from, chosen once per process.
UINT ScriptCodePage();

}  // namespace kindprobe::registration
