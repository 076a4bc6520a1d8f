#include "component/check_file_object.h"

#include <cwchar>
#include <memory>
#include <new>

#include "component/boundary.h"
#include "component/reference_count.h"
#include "component/module_version.h"
#include "component/server_module.h"
#include "component/type_info_cache.h"

namespace kindprobe::component {
namespace {

// A new BSTR holding exactly `text`.
HRESULT AllocateBstr(const wchar_t* text, BSTR* out) {
  *out = ::SysAllocStringLen(text, static_cast<UINT>(std::wcslen(text)));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

HRESULT CheckFileObject::Create(CheckFileObject** object) {
  *object = nullptr;
  struct Destroyer {
    void operator()(CheckFileObject* created) const { Destroy(created); }
  };
  std::unique_ptr<CheckFileObject, Destroyer> created(new (std::nothrow) CheckFileObject);
  if (!created || FAILED(created->instanceRefLock_.Init())) return E_OUTOFMEMORY;
  *object = created.release();
  return S_OK;
}

void CheckFileObject::Destroy(CheckFileObject* object) { delete object; }

STDMETHODIMP CheckFileObject::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsNullId(iid)) {
    *object = nullptr;
    return E_INVALIDARG;
  }
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, IID_ICheckFile)) {
    *object = static_cast<ICheckFile*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CheckFileObject::AddRef() { return AddReference(instanceRefLock_, refCount_); }

STDMETHODIMP_(ULONG) CheckFileObject::Release() {
  const ULONG count = ReleaseReference(instanceRefLock_, refCount_);
  if (count == 0) delete this;
  return count;
}

STDMETHODIMP CheckFileObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP CheckFileObject::GetTypeInfo(UINT, LCID lcid, ITypeInfo** typeInfo) {
  if (typeInfo == nullptr) return E_POINTER;
  *typeInfo = nullptr;
  return CallAtBoundary([&]() -> HRESULT {
    TypeInfoCache& cache = CheckFileTypeInfo();
    const HRESULT hr = cache.Load(lcid);
    if (FAILED(hr)) return hr;
    *typeInfo = cache.typeInfo();
    (*typeInfo)->AddRef();
    return S_OK;
  });
}

STDMETHODIMP CheckFileObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT nameCount, LCID lcid,
                                            DISPID* dispIds) {
  return CallAtBoundary([&]() -> HRESULT {
    TypeInfoCache& cache = CheckFileTypeInfo();
    const HRESULT hr = cache.Load(lcid);
    if (FAILED(hr)) return hr;
    if (nameCount == 1 && names != nullptr && dispIds != nullptr &&
        cache.FindName(names[0], &dispIds[0])) {
      return S_OK;
    }
    return cache.typeInfo()->GetIDsOfNames(names, nameCount, dispIds);
  });
}

STDMETHODIMP CheckFileObject::Invoke(DISPID dispId, REFIID, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exceptionInfo,
                                     UINT* argumentError) {
  return CallAtBoundary([&]() -> HRESULT {
    TypeInfoCache& cache = CheckFileTypeInfo();
    const HRESULT hr = cache.Load(lcid);
    if (FAILED(hr)) return hr;
    return cache.typeInfo()->Invoke(static_cast<ICheckFile*>(this), dispId, flags, params, result,
                                    exceptionInfo, argumentError);
  });
}

STDMETHODIMP CheckFileObject::GetVersion(BSTR* pstrVersion) {
  if (pstrVersion == nullptr) return E_POINTER;
  return CallAtBoundary([&]() -> HRESULT {
    ModuleVersionText version;
    ReadModuleVersion(ProcessRuleTable().moduleInstance, &version);
    return AllocateBstr(version.text, pstrVersion);
  });
}

STDMETHODIMP CheckFileObject::CheckFile(BSTR strFileName) {
  // A null BSTR is the empty string.
  const auto path = strFileName != nullptr ? reinterpret_cast<const char16_t*>(strFileName) : u"";
  return CallAtBoundary([&]() -> HRESULT {
    platform::LockGuard<platform::Mutex> guard(checkLock_);
    classifier_.CheckFile(path);
    return S_OK;
  });
}

STDMETHODIMP CheckFileObject::GetTypeID(long* pnTypeID) {
  if (pnTypeID == nullptr) return E_POINTER;
  platform::LockGuard<platform::Mutex> guard(checkLock_);
  *pnTypeID = classifier_.result().typeId;
  return S_OK;
}

STDMETHODIMP CheckFileObject::GetErrorInfo(BSTR* pstrErrorInfo) {
  if (pstrErrorInfo == nullptr) return E_POINTER;
  platform::LockGuard<platform::Mutex> guard(checkLock_);
  return AllocateBstr(reinterpret_cast<const wchar_t*>(classifier_.result().description),
                      pstrErrorInfo);
}

}  // namespace kindprobe::component
