#include "component/class_object.h"

#include <memory>
#include <new>

#include "component/atl_exception.h"
#include "component/check_file_object.h"
#include "component/server_module.h"

namespace kindprobe::component {

CheckFileClassObject::CheckFileClassObject() {
  HRESULT hr = createLock.Init();
  if (SUCCEEDED(hr)) hr = refLock.Init();
  if (FAILED(hr)) throw CAtlException(hr);
}

CheckFileClassObject::~CheckFileClassObject() {
  if (sharedObject != nullptr) sharedObject->Release();
}

HRESULT CheckFileClassObject::Create(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  std::unique_ptr<CheckFileClassObject> created;
  try {
    created.reset(new (std::nothrow) CheckFileClassObject);
  } catch (const CAtlException&) {
    return E_OUTOFMEMORY;
  }
  if (!created) return E_OUTOFMEMORY;
  const HRESULT hr = created->QueryInterface(iid, object);
  // From here on the object's own reference count owns it.
  if (hr == S_OK) created.release();
  return hr;
}

STDMETHODIMP CheckFileClassObject::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

// The class-entry table's own reference never holds the module; all client references together
// hold exactly one module lock.
STDMETHODIMP_(ULONG) CheckFileClassObject::AddRef() {
  platform::LockGuard guard(refLock);
  const LONG count = ::InterlockedIncrement(&refCount);
  if (count == 2) ServerModule().Lock();
  return static_cast<ULONG>(count);
}

STDMETHODIMP_(ULONG) CheckFileClassObject::Release() {
  LONG count;
  {
    platform::LockGuard guard(refLock);
    count = ::InterlockedDecrement(&refCount);
  }
  if (count == 0) {
    delete this;
  } else if (count == 1) {
    ServerModule().Unlock();
  }
  return static_cast<ULONG>(count);
}

STDMETHODIMP CheckFileClassObject::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;

  if (createResult == S_OK && sharedObject == nullptr) {
    platform::LockGuard guard(createLock);
    if (createResult == S_OK && sharedObject == nullptr) {
      CheckFileObject* created = nullptr;
      HRESULT hr = CheckFileObject::Create(&created);
      if (hr == S_OK) {
        IUnknown* unknown = nullptr;
        hr = created->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
        if (hr == S_OK) {
          // Published only once it is complete: other callers test it without the lock.
          ::InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&sharedObject), unknown);
        } else {
          CheckFileObject::Destroy(created);
        }
      }
      createResult = hr;
    }
  }
  // A failed creation is final for this class object: every later caller gets its failure.
  if (createResult != S_OK) return createResult;
  return sharedObject->QueryInterface(iid, object);
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
