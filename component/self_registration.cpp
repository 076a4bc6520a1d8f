// Kindprobe.dll's self-registration: the order of the steps and the CheckFile class's script.
#include "component/self_registration.h"

#include "component/boundary.h"
#include "component/proxy_stub.h"
#include "component/server_module.h"
#include "kindprobe.h"
#include "platform/win32/unique_resource.h"
#include "registration/server_registration.h"
#include "resource_ids.h"

namespace kindprobe::component {
namespace {

using registration::ScriptReplacement;

// Names the AppID to the AppID script; the common replacements name it again (the first wins).
constexpr ScriptReplacement kAppIdReplacements[] = {{L"APPID", KINDPROBE_APPID_TEXT}};

}  // namespace

HRESULT UpdateCheckFileRegistry(bool doRegister) {
  return registration::RunRegistryScript(ServerModule(), KINDPROBE_CLASS_SCRIPT_RESOURCE,
                                         doRegister);
}

}  // namespace kindprobe::component

// AppID, class, type library, then our own proxy/stub: registering the type library points the
// interface at the system's type-library marshaler, and the proxy/stub registration that
// follows must overwrite that.
STDAPI DllRegisterServer() {
  using namespace kindprobe::component;
  return CallAtBoundary([]() -> HRESULT {
    ComServerModule& module = ServerModule();
    HRESULT result = kindprobe::registration::RunRegistryScript(
        module, KINDPROBE_APPID_SCRIPT_RESOURCE, true, kAppIdReplacements);
    if (FAILED(result)) return result;
    result = RegisterClassEntries(module.ClassEntries());
    if (FAILED(result)) return result;
    result = kindprobe::registration::RegisterModuleTypeLib(module.ModuleHandle());
    if (FAILED(result)) return result;
    return ProxyStubRegister();
  });
}

STDAPI DllUnregisterServer() {
  using namespace kindprobe::component;
  return CallAtBoundary([]() -> HRESULT {
    ComServerModule& module = ServerModule();
    HRESULT result = UnregisterClassEntries(module.ClassEntries());
    if (FAILED(result)) return result;
    result = kindprobe::registration::UnregisterModuleTypeLib(module.ModuleHandle());
    if (FAILED(result)) return result;
    result = kindprobe::registration::RunRegistryScript(module, KINDPROBE_APPID_SCRIPT_RESOURCE,
                                                        false, kAppIdReplacements);
    if (FAILED(result)) return result;
    // Filed once more first, so that the removal finds every entry it removes.
    result = ProxyStubRegister();
    if (FAILED(result)) return result;
    return ProxyStubUnregister();
  });
}
