#include "component/type_info_cache.h"

#include <cwchar>
#include <new>
#include <utility>

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
  if (!typeInfo_) hr = LoadTypeInfo(lcid);
  if (SUCCEEDED(hr) && names_ == nullptr) hr = BuildNameCache();
  if (SUCCEEDED(hr)) complete_.store(true, std::memory_order_release);
  return hr;
}

HRESULT TypeInfoCache::LoadTypeInfo(LCID lcid) {
  platform::win32::ComPtr<ITypeLib> library;
  HRESULT hr = ::LoadRegTypeLib(LIBID_KindprobeLib, kLibraryMajorVersion, kLibraryMinorVersion,
                                lcid, library.put());
  if (FAILED(hr)) return hr;
  platform::win32::ComPtr<ITypeInfo> info;
  hr = library->GetTypeInfoOfGuid(IID_ICheckFile, info.put());
  if (FAILED(hr)) return hr;
  // Keep the richer interface when the platform offers it.
  platform::win32::ComPtr<ITypeInfo> info2;
  if (SUCCEEDED(info.QueryTo(IID_ITypeInfo2, &info2))) info = std::move(info2);
  hr = ServerModule().AddTermFunc(&TypeInfoCache::Clear, reinterpret_cast<DWORD_PTR>(this));
  if (FAILED(hr)) return hr;
  typeInfo_ = std::move(info);
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
    platform::win32::UniqueBstr& name = entries[i].name;
    if (FAILED(typeInfo_->GetDocumentation(memberId, name.put(), nullptr, nullptr, nullptr))) {
      continue;
    }
    entries[i].length = static_cast<UINT>(name.size());
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
    if (entry.name && entry.length == length && std::wmemcmp(entry.name.get(), name, length) == 0) {
      *dispId = entry.dispId;
      return true;
    }
  }
  return false;
}

void TypeInfoCache::Clear(DWORD_PTR data) {
  auto* cache = reinterpret_cast<TypeInfoCache*>(data);
  cache->complete_.store(false, std::memory_order_release);
  cache->names_.reset();
  cache->nameCount_ = 0;
  cache->typeInfo_.reset();
}

}  // namespace kindprobe::component
