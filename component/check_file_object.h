// The CheckFile object: the one object of the process behind ICheckFile. It runs the file
// classification and keeps the last result for every client to read back.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include "engine/file_classifier.h"
#include "kindprobe.h"
#include "platform/sync.h"
#include "platform/win32/critical_section.h"

namespace kindprobe::component {

// Named CheckFileObject because a C++ class cannot have a method of its own name.
class CheckFileObject final : public ICheckFile {
 public:
  // Creates an object with reference count 0, or answers E_OUTOFMEMORY (also when its lock
  // cannot be initialised).
  static HRESULT Create(CheckFileObject** object);
  // Destroys an object that no reference owns yet.
  static void Destroy(CheckFileObject* object);

  CheckFileObject(const CheckFileObject&) = delete;
  CheckFileObject& operator=(const CheckFileObject&) = delete;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** typeInfo) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount, LCID lcid,
                             DISPID* dispIds) override;
  STDMETHODIMP Invoke(DISPID dispId, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exceptionInfo, UINT* argumentError) override;

  // ICheckFile
  STDMETHODIMP GetVersion(BSTR* pstrVersion) override;
  STDMETHODIMP CheckFile(BSTR strFileName) override;
  STDMETHODIMP GetTypeID(long* pnTypeID) override;
  STDMETHODIMP GetErrorInfo(BSTR* pstrErrorInfo) override;

 private:
  CheckFileObject() = default;
  ~CheckFileObject() = default;

  LONG refCount_ = 0;  // under instanceRefLock_
  // Holds the CheckResult and, during a check, the FileHead.
  FileClassifier classifier_;
  platform::win32::CriticalSection instanceRefLock_;
  // One check at a time on the shared object, and no reading of a result that is being
  // written: clients on several threads would otherwise share one head and tear the result.
  platform::Mutex checkLock_;
};

}  // namespace kindprobe::component
