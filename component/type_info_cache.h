// The ICheckFile type information behind IDispatch, loaded once per process from the registered
// type library, with a cache of its function names for the common one-name lookup.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <atomic>
#include <memory>

#include "platform/win32/unique_resource.h"

namespace kindprobe::component {

class TypeInfoCache {
 public:
  constexpr TypeInfoCache() = default;
  TypeInfoCache(const TypeInfoCache&) = delete;
  TypeInfoCache& operator=(const TypeInfoCache&) = delete;

  // Loads the type information and builds the name cache unless both are there. Returns the
  // load's failure, in which case the next call tries again (the library may be registered by
  // then).
  HRESULT Load(LCID lcid);
  // The type information; only valid after a successful Load.
  ITypeInfo* typeInfo() const { return typeInfo_.get(); }
  // Case-sensitive search of the name cache, newest entry first.
  bool FindName(const OLECHAR* name, DISPID* dispId) const;

 private:
  struct NameEntry {
    platform::win32::UniqueBstr name;
    UINT length = 0;
    DISPID dispId = DISPID_UNKNOWN;
  };

  HRESULT LoadTypeInfo(LCID lcid);
  HRESULT BuildNameCache();
  // Registered as a termination function of the server module: gives everything back and
  // leaves the cache empty, so a later Load starts afresh and destruction finds nothing to do.
  static void Clear(DWORD_PTR cache);

  platform::win32::ComPtr<ITypeInfo> typeInfo_;
  std::unique_ptr<NameEntry[]> names_;
  UINT nameCount_ = 0;
  // Set once the type information and the name cache are both complete; lets callers skip the
  // lock afterwards.
  std::atomic<bool> complete_{false};
};

// The cache shared by every use of IDispatch on ICheckFile in the process.
TypeInfoCache& CheckFileTypeInfo();

}  // namespace kindprobe::component
