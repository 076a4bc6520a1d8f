// The module's self-registration: its classes' registry scripts and component categories.
// DllRegisterServer and DllUnregisterServer run these with the AppID script, the type library
// and the proxy/stub in a fixed order and stop at the first failure; what earlier steps did
// stays done.
#pragma once

#include <windows.h>

#include <span>

#include "component/server_module.h"

namespace kindprobe::component {

// Registers (or unregisters) the CheckFile class from its registry script.
HRESULT UpdateCheckFileRegistry(bool doRegister);

// Each entry's registry script, then its component categories (in reverse when removing).
HRESULT RegisterClassEntries(std::span<ClassEntry> entries);
HRESULT UnregisterClassEntries(std::span<ClassEntry> entries);

}  // namespace kindprobe::component
