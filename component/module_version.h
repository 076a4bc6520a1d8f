// The file version of a module, as the text "major.minor.build.revision".
#pragma once

#include <windows.h>

namespace kindprobe::component {

struct ModuleVersionText {
  // Room for "65535.65535.65535.65535" and more.
  wchar_t text[32] = L"0.0.0.0";
};

// Formats the fixed file version of `module`'s file into `version`; leaves "0.0.0.0" when the
// file or its version information cannot be read.
void ReadModuleVersion(void* module, ModuleVersionText* version);

}  // namespace kindprobe::component
