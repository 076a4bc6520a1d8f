#include "component/type_info_cache.h"

#include <cwchar>
#include <new>

#include "component/server_module.h"
#include "kindprobe.h"

namespace kindprobe::component {
namespace {

constexpr WORD kLibraryMajorVersion = 1;
constexpr WORD kLibraryMinorVersion = 0;

// Constant-initialised, so it is ready before any constructor of the module runs.
constinit TypeInfoCache g_checkFileTypeInfo;

}  // namespace

TypeInfoCache& CheckFileTypeInfo() { return g_checkFileTypeInfo; }

HRESULT TypeInfoCache::Load(LCID lcid) {
  if (complete_.load(std::memory_order_acquire)) return S_OK;
  ComServerModule& module = ServerModule();
  platform::LockGuard guard(module.StaticInitLock());
  HRESULT hr = S_OK;
  if (typeInfo_ == nullptr) hr = LoadTypeInfo(lcid);
  if (SUCCEEDED(hr) && names_ == nullptr) hr = BuildNameCache();
  if (SUCCEEDED(hr)) complete_.store(true, std::memory_order_release);
  return hr;
}

HRESULT TypeInfoCache::LoadTypeInfo(LCID lcid) {
  ITypeLib* library = nullptr;
  HRESULT hr = ::LoadRegTypeLib(LIBID_KindprobeLib, kLibraryMajorVersion, kLibraryMinorVersion,
                                lcid, &library);
  if (FAILED(hr)) return hr;
  ITypeInfo* info = nullptr;
  hr = library->GetTypeInfoOfGuid(IID_ICheckFile, &info);
  library->Release();
  if (FAILED(hr)) return hr;
  // Keep the richer interface when the platform offers it.
  ITypeInfo2* info2 = nullptr;
  if (SUCCEEDED(info->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(&info2)))) {
    info->Release();
    info = info2;
  }
  hr = ServerModule().AddTermFunc(&TypeInfoCache::Release, reinterpret_cast<DWORD_PTR>(this));
  if (FAILED(hr)) {
    info->Release();
    return hr;
  }
  typeInfo_ = info;
  return S_OK;
}

HRESULT TypeInfoCache::BuildNameCache() {
  TYPEATTR* attributes = nullptr;
  HRESULT hr = typeInfo_->GetTypeAttr(&attributes);
  if (FAILED(hr)) return hr;
  const UINT functionCount = attributes->cFuncs;
  typeInfo_->ReleaseTypeAttr(attributes);

  std::unique_ptr<NameEntry[]> entries(new (std::nothrow) NameEntry[functionCount]);
  if (!entries) return E_OUTOFMEMORY;
  for (UINT i = 0; i < functionCount; ++i) {
    FUNCDESC* function = nullptr;
    if (FAILED(typeInfo_->GetFuncDesc(i, &function))) continue;
    const MEMBERID memberId = function->memid;
    typeInfo_->ReleaseFuncDesc(function);
    BSTR name = nullptr;
    if (FAILED(typeInfo_->GetDocumentation(memberId, &name, nullptr, nullptr, nullptr))) continue;
    entries[i].name = name;
    entries[i].length = ::SysStringLen(name);
    entries[i].dispId = memberId;
  }
  names_ = std::move(entries);
  nameCount_ = functionCount;
  return S_OK;
}

bool TypeInfoCache::FindName(const OLECHAR* name, DISPID* dispId) const {
  if (name == nullptr) return false;
  const size_t length = std::wcslen(name);
  for (UINT i = nameCount_; i-- > 0;) {
    const NameEntry& entry = names_[i];
    if (entry.name != nullptr && entry.length == length &&
        std::wmemcmp(entry.name, name, length) == 0) {
      *dispId = entry.dispId;
      return true;
    }
  }
  return false;
}

void TypeInfoCache::Release(DWORD_PTR data) {
  auto* cache = reinterpret_cast<TypeInfoCache*>(data);
  cache->complete_.store(false, std::memory_order_release);
  for (UINT i = 0; i < cache->nameCount_; ++i) ::SysFreeString(cache->names_[i].name);
  cache->names_.reset();
  cache->nameCount_ = 0;
  if (cache->typeInfo_ != nullptr) cache->typeInfo_->Release();
  cache->typeInfo_ = nullptr;
}

}  // namespace kindprobe::component
