// The class object of Diagnosis: a new object for every CreateInstance, nothing shared.
#pragma once

#include <windows.h>

#include <unknwn.h>

namespace kindprobe::diagnosis_server {

class DiagnosisClassObject final : public IClassFactory {
 public:
  // The createClassObject operation of the Diagnosis class entry.
  static HRESULT Create(REFIID iid, void** object);

  DiagnosisClassObject(const DiagnosisClassObject&) = delete;
  DiagnosisClassObject& operator=(const DiagnosisClassObject&) = delete;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IClassFactory
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  STDMETHODIMP LockServer(BOOL lock) override;

 private:
  DiagnosisClassObject() = default;
  ~DiagnosisClassObject() = default;

  volatile LONG refCount_ = 0;
};

}  // namespace kindprobe::diagnosis_server
