#include "component/class_object.h"

#include <memory>
#include <new>

#include "component/boundary.h"
#include "component/reference_count.h"
#include "component/check_file_object.h"
#include "component/server_module.h"
#include "platform/win32/unique_resource.h"

namespace kindprobe::component {

CheckFileClassObject::~CheckFileClassObject() {
  // The class object's own reference to the shared object, given back with it.
  const platform::win32::ComPtr<IUnknown> shared(sharedObject_.exchange(nullptr));
}

HRESULT CheckFileClassObject::Init() {
  HRESULT hr = createLock_.Init();
  if (SUCCEEDED(hr)) hr = refLock_.Init();
  return hr;
}

HRESULT CheckFileClassObject::Create(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  return CallAtBoundary([&]() -> HRESULT {
    std::unique_ptr<CheckFileClassObject> created(new (std::nothrow) CheckFileClassObject);
    if (!created || FAILED(created->Init())) return E_OUTOFMEMORY;
    const HRESULT hr = created->QueryInterface(iid, object);
    // From here on the object's own reference count owns it.
    if (hr == S_OK) static_cast<void>(created.release());
    return hr;
  });
}

STDMETHODIMP CheckFileClassObject::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsNullId(iid)) {
    *object = nullptr;
    return E_INVALIDARG;
  }
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CheckFileClassObject::AddRef() { return AddReference(refLock_, refCount_); }

STDMETHODIMP_(ULONG) CheckFileClassObject::Release() {
  const ULONG count = ReleaseReference(refLock_, refCount_);
  if (count == 0) delete this;
  return count;
}

HRESULT CheckFileClassObject::CreateSharedObject() {
  CheckFileObject* created = nullptr;
  HRESULT hr = CheckFileObject::Create(&created);
  if (hr != S_OK) return hr;
  IUnknown* unknown = nullptr;
  hr = created->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
  if (hr != S_OK) {
    CheckFileObject::Destroy(created);
    return hr;
  }
  // Published only once it is complete: other callers test it without the lock.
  sharedObject_.store(unknown, std::memory_order_release);
  return S_OK;
}

STDMETHODIMP CheckFileClassObject::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;

  return CallAtBoundary([&]() -> HRESULT {
    if (createResult_.load(std::memory_order_acquire) == S_OK &&
        sharedObject_.load(std::memory_order_acquire) == nullptr) {
      platform::LockGuard guard(createLock_);
      if (createResult_.load(std::memory_order_relaxed) == S_OK &&
          sharedObject_.load(std::memory_order_relaxed) == nullptr) {
        createResult_.store(CreateSharedObject(), std::memory_order_release);
      }
    }
    // A failed creation is final for this class object: every later caller gets its failure.
    const HRESULT createResult = createResult_.load(std::memory_order_acquire);
    if (createResult != S_OK) return createResult;
    return sharedObject_.load(std::memory_order_acquire)->QueryInterface(iid, object);
  });
}

STDMETHODIMP CheckFileClassObject::LockServer(BOOL lock) {
  if (lock) {
    ServerModule().Lock();
  } else {
    ServerModule().Unlock();
  }
  return S_OK;
}

}  // namespace kindprobe::component
