// The class entries' part of self-registration, shared by every module on the server frame:
// each entry's registry script and its component categories.
#include <comcat.h>

#include <vector>

#include "component/self_registration.h"
#include "platform/win32/unique_resource.h"

namespace kindprobe::component {
namespace {

using platform::win32::ComPtr;

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

}  // namespace

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
