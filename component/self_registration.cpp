// The module's self-registration: the order of the steps and the class entries' part of them.
#include "component/self_registration.h"

#include <comcat.h>

#include <vector>

#include "component/boundary.h"
#include "component/proxy_stub.h"
#include "component/server_module.h"
#include "kindprobe.h"
#include "platform/win32/unique_resource.h"
#include "registration/server_registration.h"
#include "resource_ids.h"

namespace kindprobe::component {
namespace {

using platform::win32::ComPtr;
using registration::ScriptReplacement;

// The component categories of `entry`, split into the ones it implements and the ones it needs.
struct CategoryLists {
  std::vector<CATID> implemented;
  std::vector<CATID> required;
};

HRESULT UpdateCategories(const ClassEntry& entry, bool doRegister) {
  const ClassCategory* list = entry.categories ? entry.categories() : nullptr;
  if (list == nullptr) return S_OK;
  CategoryLists lists;
  for (; list->id != nullptr; ++list) {
    (list->required ? lists.required : lists.implemented).push_back(*list->id);
  }

  ComPtr<ICatRegister> categories;
  HRESULT result = ::CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr,
                                      CLSCTX_INPROC_SERVER, IID_ICatRegister, categories.out());
  if (FAILED(result)) return result;
  const CLSID& classId = *entry.classId;
  const auto count = [](const std::vector<CATID>& ids) { return static_cast<ULONG>(ids.size()); };
  if (!lists.implemented.empty()) {
    result = doRegister ? categories->RegisterClassImplCategories(classId, count(lists.implemented),
                                                                  lists.implemented.data())
                        : categories->UnRegisterClassImplCategories(
                              classId, count(lists.implemented), lists.implemented.data());
    if (FAILED(result)) return result;
  }
  if (!lists.required.empty()) {
    result = doRegister ? categories->RegisterClassReqCategories(classId, count(lists.required),
                                                                 lists.required.data())
                        : categories->UnRegisterClassReqCategories(classId, count(lists.required),
                                                                   lists.required.data());
  }
  return result;
}

// Names the AppID to the AppID script; the common replacements name it again (the first wins).
constexpr ScriptReplacement kAppIdReplacements[] = {{L"APPID", KINDPROBE_APPID_TEXT}};

}  // namespace

HRESULT UpdateCheckFileRegistry(bool doRegister) {
  return registration::RunRegistryScript(ServerModule(), KINDPROBE_CLASS_SCRIPT_RESOURCE,
                                         doRegister);
}

HRESULT RegisterClassEntries(std::span<ClassEntry> entries) {
  for (const ClassEntry& entry : entries) {
    HRESULT result = entry.updateRegistry(true);
    if (FAILED(result)) return result;
    result = UpdateCategories(entry, true);
    if (FAILED(result)) return result;
  }
  return S_OK;
}

HRESULT UnregisterClassEntries(std::span<ClassEntry> entries) {
  for (const ClassEntry& entry : entries) {
    HRESULT result = UpdateCategories(entry, false);
    if (FAILED(result)) return result;
    result = entry.updateRegistry(false);
    if (FAILED(result)) return result;
  }
  return S_OK;
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
