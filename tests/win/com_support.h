// The owners the tests hold COM resources in (the module's own, plus a VARIANT and an
// apartment), so a failed assertion leaks nothing into the next check of the same process.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>

#include "platform/win32/unique_resource.h"

namespace kindprobe::wintest {

using platform::win32::ComPtr;
using platform::win32::UniqueBstr;
using platform::win32::UniqueHandle;

inline UniqueBstr MakeBstr(const std::wstring& text) {
  return UniqueBstr::From(text.data(), text.size());
}
inline std::wstring ToWString(const UniqueBstr& text) {
  return text ? std::wstring(text.get(), text.size()) : std::wstring();
}

class Variant {
 public:
  Variant() { ::VariantInit(&v_); }
  ~Variant() { ::VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &v_; }

 private:
  VARIANT v_;
};

class ComApartment {
 public:
  explicit ComApartment(DWORD model = COINIT_MULTITHREADED)
      : hr_(::CoInitializeEx(nullptr, model)) {}
  ~ComApartment() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  HRESULT hr() const { return hr_; }

 private:
  HRESULT hr_;
};

}  // namespace kindprobe::wintest
