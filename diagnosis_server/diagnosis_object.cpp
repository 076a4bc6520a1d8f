#include "diagnosis_server/diagnosis_object.h"

#include <new>
#include <string>

#include "component/boundary.h"
#include "component/server_module.h"
#include "diagnosis_server/diagnosis_report.h"
#include "platform/utf.h"
#include "platform/win32/unique_resource.h"
#include "registration/server_registration.h"

namespace kindprobe::diagnosis_server {
namespace {

using component::CallAtBoundary;
using component::IsNullId;
using platform::win32::ComPtr;

// The type information of IDiagnosis, from the module's own file: nothing kept between calls,
// and no registration needed to script an object that exists.
HRESULT LoadTypeInfo(ITypeInfo** typeInfo) {
  ComPtr<ITypeLib> library;
  platform::win32::UniqueBstr path;
  const HRESULT hr = registration::LoadModuleTypeLib(component::ServerModule().ModuleHandle(),
                                                     library.put(), path.put());
  if (FAILED(hr)) return hr;
  return library->GetTypeInfoOfGuid(IID_IDiagnosis, typeInfo);
}

// The languages of the report, as the command names them; empty (or a null BSTR) is Chinese.
bool ParseLanguage(BSTR text, Language* language) {
  const std::wstring name = text != nullptr ? std::wstring(text, ::SysStringLen(text)) : L"";
  if (name.empty() || name == L"zh") {
    *language = Language::kChinese;
  } else if (name == L"en") {
    *language = Language::kEnglish;
  } else {
    return false;
  }
  return true;
}

}  // namespace

DiagnosisObject* DiagnosisObject::Create() { return new (std::nothrow) DiagnosisObject; }

STDMETHODIMP DiagnosisObject::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsNullId(iid)) {
    *object = nullptr;
    return E_INVALIDARG;
  }
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, IID_IDiagnosis)) {
    *object = static_cast<IDiagnosis*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) DiagnosisObject::AddRef() {
  return static_cast<ULONG>(::InterlockedIncrement(&refCount_));
}

STDMETHODIMP_(ULONG) DiagnosisObject::Release() {
  const LONG count = ::InterlockedDecrement(&refCount_);
  if (count == 0) {
    delete this;
    // The module may unload only once no object of it is left.
    component::ServerModule().Unlock();
  }
  return static_cast<ULONG>(count);
}

STDMETHODIMP DiagnosisObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP DiagnosisObject::GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo) {
  if (typeInfo == nullptr) return E_POINTER;
  *typeInfo = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return CallAtBoundary([&] { return LoadTypeInfo(typeInfo); });
}

STDMETHODIMP DiagnosisObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT nameCount, LCID,
                                            DISPID* dispIds) {
  return CallAtBoundary([&]() -> HRESULT {
    ComPtr<ITypeInfo> info;
    const HRESULT hr = LoadTypeInfo(info.put());
    if (FAILED(hr)) return hr;
    return info->GetIDsOfNames(names, nameCount, dispIds);
  });
}

STDMETHODIMP DiagnosisObject::Invoke(DISPID dispId, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exceptionInfo,
                                     UINT* argumentError) {
  return CallAtBoundary([&]() -> HRESULT {
    ComPtr<ITypeInfo> info;
    const HRESULT hr = LoadTypeInfo(info.put());
    if (FAILED(hr)) return hr;
    return info->Invoke(static_cast<IDiagnosis*>(this), dispId, flags, params, result,
                        exceptionInfo, argumentError);
  });
}

STDMETHODIMP DiagnosisObject::Diagnose(BSTR strFileName, BSTR strLanguage, BSTR* pstrReport) {
  if (pstrReport == nullptr) return E_POINTER;
  *pstrReport = nullptr;
  Language language;
  if (!ParseLanguage(strLanguage, &language)) return E_INVALIDARG;
  return CallAtBoundary([&]() -> HRESULT {
    // A null BSTR is the empty string.
    const std::u16string path =
        strFileName != nullptr
            ? std::u16string(reinterpret_cast<const char16_t*>(strFileName), ::SysStringLen(strFileName))
            : std::u16string();
    const std::u16string report = platform::Utf8ToUtf16(DiagnosisReport(path, language));
    *pstrReport = ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(report.data()),
                                      static_cast<UINT>(report.size()));
    return *pstrReport != nullptr ? S_OK : E_OUTOFMEMORY;
  });
}

}  // namespace kindprobe::diagnosis_server
