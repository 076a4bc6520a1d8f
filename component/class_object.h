// The class object of CheckFile: hands every caller in the process the same CheckFile object.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <atomic>

#include "platform/win32/critical_section.h"

namespace kindprobe::component {

class CheckFileClassObject final : public IClassFactory {
 public:
  CheckFileClassObject() = default;
  ~CheckFileClassObject();
  CheckFileClassObject(const CheckFileClassObject&) = delete;
  CheckFileClassObject& operator=(const CheckFileClassObject&) = delete;

  // The createClassObject operation of the CheckFile class entry. A lock that cannot be
  // initialised answers E_OUTOFMEMORY.
  static HRESULT Create(REFIID iid, void** object);

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IClassFactory
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  STDMETHODIMP LockServer(BOOL lock) override;

 private:
  HRESULT Init();
  HRESULT CreateSharedObject();

  LONG refCount_ = 0;  // under refLock_
  platform::win32::CriticalSection createLock_;
  // The outcome of the one creation and the object it made; both written under createLock_ and
  // published (release) for callers that test them without it (acquire).
  std::atomic<HRESULT> createResult_{S_OK};
  std::atomic<IUnknown*> sharedObject_{nullptr};
  platform::win32::CriticalSection refLock_;
};

}  // namespace kindprobe::component
