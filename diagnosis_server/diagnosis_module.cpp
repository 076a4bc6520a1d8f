// KindprobeDiagnosis.dll: its class-entry table, the server module built on it, the entry point
// and the four exports. The frame is Kindprobe.dll's (component/server_module.h); this module
// has no AppID and one class.
#include <windows.h>

#include <objbase.h>

#include "component/boundary.h"
#include "component/proxy_stub.h"
#include "component/self_registration.h"
#include "component/server_module.h"
#include "diagnosis_resource_ids.h"
#include "diagnosis_server/diagnosis_class_object.h"
#include "engine/rule_table.h"
#include "kindprobe_diagnosis.h"
#include "registration/server_registration.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace kindprobe::component {
namespace {

HRESULT UpdateDiagnosisRegistry(bool doRegister) {
  return registration::RunRegistryScript(ServerModule(), KINDPROBE_DIAGNOSIS_SCRIPT_RESOURCE,
                                         doRegister);
}

const ClassCategory* NoCategories() { return nullptr; }

ClassEntry g_classEntries[] = {
    {&CLSID_Diagnosis, &UpdateDiagnosisRegistry, &diagnosis_server::DiagnosisClassObject::Create,
     nullptr, &NoCategories},
};

ComServerModule g_serverModule(reinterpret_cast<HMODULE>(&__ImageBase), g_classEntries, nullptr);

}  // namespace

ComServerModule& ServerModule() { return g_serverModule; }

}  // namespace kindprobe::component

using kindprobe::component::CallAtBoundary;
using kindprobe::component::IsNullId;
using kindprobe::component::ServerModule;

namespace __gnu_cxx {
// Frees the emergency pool the module's own (static) C++ runtime allocates for exception
// objects when the module is loaded; the runtime itself never does.
void __freeres();
}  // namespace __gnu_cxx

// Kept light: nothing is parsed while the loader lock is held; the rule table is loaded by the
// first diagnosis.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      kindprobe::ResetRuleTable(kindprobe::ProcessRuleTable(), instance);
      ProxyStubProcessAttach(instance);
      return ServerModule().InitFailed() ? FALSE : TRUE;
    case DLL_PROCESS_DETACH:
      ServerModule().TearDown();
      kindprobe::FreeRuleTable(kindprobe::ProcessRuleTable());
      ProxyStubProcessDetach();
      if (reserved == nullptr) __gnu_cxx::__freeres();
      return TRUE;
    default:
      return TRUE;
  }
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* object) {
  return CallAtBoundary([&]() -> HRESULT {
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

// Class, type library, then the proxy/stub, which must overwrite the type-library marshaler the
// type library's registration names for the interface. Removal undoes them in reverse.
STDAPI DllRegisterServer() {
  return CallAtBoundary([]() -> HRESULT {
    HRESULT result = kindprobe::component::RegisterClassEntries(ServerModule().ClassEntries());
    if (FAILED(result)) return result;
    result = kindprobe::registration::RegisterModuleTypeLib(ServerModule().ModuleHandle());
    if (FAILED(result)) return result;
    return ProxyStubRegister();
  });
}

STDAPI DllUnregisterServer() {
  return CallAtBoundary([]() -> HRESULT {
    HRESULT result = kindprobe::component::UnregisterClassEntries(ServerModule().ClassEntries());
    if (FAILED(result)) return result;
    result = kindprobe::registration::UnregisterModuleTypeLib(ServerModule().ModuleHandle());
    if (FAILED(result)) return result;
    // Filed once more first, so that the removal finds every entry it removes.
    result = ProxyStubRegister();
    if (FAILED(result)) return result;
    return ProxyStubUnregister();
  });
}
