// The module's entry point and its two lifetime exports.
#include <windows.h>

#include <objbase.h>

#include "component/boundary.h"
#include "component/proxy_stub.h"
#include "component/server_module.h"
#include "engine/rule_table.h"

using kindprobe::component::CallAtBoundary;
using kindprobe::component::IsNullId;
using kindprobe::component::ServerModule;

namespace __gnu_cxx {
// Frees the emergency pool the module's own (static) C++ runtime allocates for exception
// objects when the module is loaded; the runtime itself never does.
void __freeres();
}  // namespace __gnu_cxx

// Kept light: nothing is parsed or loaded while the loader lock is held; the rule table is
// loaded by the first check that needs it.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      kindprobe::ResetRuleTable(kindprobe::ProcessRuleTable(), instance);
      ProxyStubProcessAttach(instance);
      return ServerModule().InitFailed() ? FALSE : TRUE;
    case DLL_PROCESS_DETACH:
      // Torn down here, before the runtime destroys the module's static objects: the server
      // module's termination reaches the type-information cache and the shared object, and the
      // order in which static objects die is the linker's, not ours.
      ServerModule().TearDown();
      kindprobe::FreeRuleTable(kindprobe::ProcessRuleTable());
      ProxyStubProcessDetach();
      // Unloaded by FreeLibrary, the process lives on: give back what the runtime would leave
      // behind on every load. At process exit (reserved set) there is nothing to give back to.
      if (reserved == nullptr) __gnu_cxx::__freeres();
      return TRUE;
    default:
      return TRUE;
  }
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* object) {
  return CallAtBoundary([&]() -> HRESULT {
    // The proxy/stub part writes through the out pointer and reads both ids unconditionally,
    // so a null one of these goes straight to the class-entry table, which refuses it.
    if (object != nullptr && !IsNullId(classId) && !IsNullId(iid) &&
        ProxyStubGetClassObject(classId, iid, object) == S_OK) {
      return S_OK;
    }
    return ServerModule().GetClassObject(classId, iid, object);
  });
}

STDAPI DllCanUnloadNow() {
  const HRESULT proxyStubAnswer = ProxyStubCanUnloadNow();
  if (proxyStubAnswer != S_OK) return proxyStubAnswer;
  return ServerModule().GetLockCount() == 0 ? S_OK : S_FALSE;
}
