// The Diagnosis object: one per client, holding nothing but its reference count. Diagnose
// checks and explains the file afresh each time and answers the JSON line the command writes
// for it with --explain --json.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include "kindprobe_diagnosis.h"

namespace kindprobe::diagnosis_server {

class DiagnosisObject final : public IDiagnosis {
 public:
  // A new object with reference count 0; null when memory runs out.
  static DiagnosisObject* Create();

  DiagnosisObject(const DiagnosisObject&) = delete;
  DiagnosisObject& operator=(const DiagnosisObject&) = delete;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch, from the module's own type library.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** typeInfo) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount, LCID lcid,
                             DISPID* dispIds) override;
  STDMETHODIMP Invoke(DISPID dispId, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exceptionInfo, UINT* argumentError) override;

  // IDiagnosis
  STDMETHODIMP Diagnose(BSTR strFileName, BSTR strLanguage, BSTR* pstrReport) override;

 private:
  DiagnosisObject() = default;
  ~DiagnosisObject() = default;

  volatile LONG refCount_ = 0;
};

}  // namespace kindprobe::diagnosis_server
