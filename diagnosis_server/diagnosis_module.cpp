// KindprobeDiagnosis.dll: its class-entry table, the server module built on it, and its two
// registration exports. The frame is Kindprobe.dll's (component/server_module.h); this module
// has no AppID and one class.
#include <windows.h>

#include <objbase.h>

#include "component/boundary.h"
#include "component/proxy_stub.h"
#include "component/self_registration.h"
#include "component/server_module.h"
#include "diagnosis_resource_ids.h"
#include "diagnosis_server/diagnosis_class_object.h"
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
using kindprobe::component::ServerModule;

// DllMain, DllGetClassObject and DllCanUnloadNow are the frame's (component/dll_exports.cpp),
// over this module's ServerModule() and proxy/stub; the registration order is this module's own.

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
