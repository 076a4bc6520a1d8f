// The class object of CheckFile: hands every caller in the process the same CheckFile object.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "component/critical_section.h"

namespace kindprobe::component {

class CheckFileClassObject final : public IClassFactory {
 public:
  // Throws CAtlException when a lock cannot be initialised.
  CheckFileClassObject();
  ~CheckFileClassObject();
  CheckFileClassObject(const CheckFileClassObject&) = delete;
  CheckFileClassObject& operator=(const CheckFileClassObject&) = delete;

  // The createClassObject operation of the CheckFile class entry.
  static HRESULT Create(REFIID iid, void** object);

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IClassFactory
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  STDMETHODIMP LockServer(BOOL lock) override;

 private:
  volatile LONG refCount = 0;
  CriticalSection createLock;
  HRESULT createResult = S_OK;
  IUnknown* sharedObject = nullptr;
  CriticalSection refLock;
};

}  // namespace kindprobe::component
