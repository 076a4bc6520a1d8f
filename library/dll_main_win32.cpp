// kindprobe-1.dll's entry point: the rule text is a resource of this module, not of the program
// that loads it, so the process's rule table is pointed here before any checker exists.
#include <windows.h>

#include "engine/rule_table.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      // Kept light under the loader lock: the text is parsed by the first check.
      kindprobe::ResetRuleTable(kindprobe::ProcessRuleTable(), instance);
      return TRUE;
    case DLL_PROCESS_DETACH:
      // Unloaded by FreeLibrary, the process lives on: give the parsed table back. At process
      // exit (reserved set) there is nothing to give back to.
      if (reserved == nullptr) kindprobe::FreeRuleTable(kindprobe::ProcessRuleTable());
      return TRUE;
    default:
      return TRUE;
  }
}
