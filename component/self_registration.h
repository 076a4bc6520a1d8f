// Running the registry scripts of the module's classes.
#pragma once

#include <windows.h>

namespace kindprobe::component {

// Registers (or unregisters) the CheckFile class from its registry script.
HRESULT UpdateCheckFileRegistry(bool doRegister);

}  // namespace kindprobe::component
