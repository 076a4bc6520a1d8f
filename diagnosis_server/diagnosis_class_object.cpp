#include "diagnosis_server/diagnosis_class_object.h"

#include <new>

#include "component/boundary.h"
#include "component/server_module.h"
#include "diagnosis_server/diagnosis_object.h"
#include "platform/win32/unique_resource.h"

namespace kindprobe::diagnosis_server {

using component::IsNullId;
using component::ServerModule;

HRESULT DiagnosisClassObject::Create(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  DiagnosisClassObject* created = new (std::nothrow) DiagnosisClassObject;
  if (created == nullptr) return E_OUTOFMEMORY;
  // Held while asking, so that a refused interface frees it.
  created->AddRef();
  const platform::win32::ComPtr<IClassFactory> held(created);
  return created->QueryInterface(iid, object);
}

STDMETHODIMP DiagnosisClassObject::QueryInterface(REFIID iid, void** object) {
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

STDMETHODIMP_(ULONG) DiagnosisClassObject::AddRef() {
  return static_cast<ULONG>(::InterlockedIncrement(&refCount_));
}

STDMETHODIMP_(ULONG) DiagnosisClassObject::Release() {
  const LONG count = ::InterlockedDecrement(&refCount_);
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

STDMETHODIMP DiagnosisClassObject::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  DiagnosisObject* created = DiagnosisObject::Create();
  if (created == nullptr) return E_OUTOFMEMORY;
  // Every object holds the module; its last Release gives the lock back.
  ServerModule().Lock();
  created->AddRef();
  const platform::win32::ComPtr<IDiagnosis> held(created);
  return created->QueryInterface(iid, object);
}

STDMETHODIMP DiagnosisClassObject::LockServer(BOOL lock) {
  if (lock) {
    ServerModule().Lock();
  } else {
    ServerModule().Unlock();
  }
  return S_OK;
}

}  // namespace kindprobe::diagnosis_server
