#include "kindprobe_dll.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kindprobe::wintest {

std::wstring ProgramDirectory() {
  wchar_t buffer[MAX_PATH * 4] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
  std::wstring path(buffer, length);
  return path.substr(0, path.find_last_of(L"\\/"));
}

KindprobeDll::KindprobeDll() : path_(ProgramDirectory() + L"\\Kindprobe.dll") {
  module_ = ::LoadLibraryW(path_.c_str());
  if (module_ == nullptr) {
    std::fprintf(stderr, "cannot load Kindprobe.dll (error %lu)\n", ::GetLastError());
    std::abort();
  }
  getClassObject_ = reinterpret_cast<decltype(getClassObject_)>(
      reinterpret_cast<void*>(::GetProcAddress(module_, "DllGetClassObject")));
  canUnloadNow_ = reinterpret_cast<decltype(canUnloadNow_)>(
      reinterpret_cast<void*>(::GetProcAddress(module_, "DllCanUnloadNow")));
  if (getClassObject_ == nullptr || canUnloadNow_ == nullptr) {
    std::fprintf(stderr, "Kindprobe.dll lacks its exports\n");
    std::abort();
  }
}

KindprobeDll& KindprobeDll::Get() {
  static KindprobeDll dll;
  return dll;
}

HRESULT KindprobeDll::GetClassObject(REFCLSID classId, REFIID iid, void** object) const {
  return getClassObject_(classId, iid, object);
}

HRESULT KindprobeDll::CanUnloadNow() const { return canUnloadNow_(); }

ComPtr<IClassFactory> KindprobeDll::ClassFactory() const {
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(S_OK, GetClassObject(CLSID_CheckFile, IID_IClassFactory, factory.out()));
  return factory;
}

ComPtr<ICheckFile> KindprobeDll::CreateCheckFile() const {
  ComPtr<ICheckFile> checker;
  ComPtr<IClassFactory> factory = ClassFactory();
  if (factory) {
    EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ICheckFile, checker.out()));
  }
  return checker;
}

std::wstring ErrorInfoOf(ICheckFile* checker) {
  UniqueBstr text;
  EXPECT_EQ(S_OK, checker->GetErrorInfo(text.put()));
  return ToWString(text);
}

long TypeIdOf(ICheckFile* checker) {
  long typeId = -1;
  EXPECT_EQ(S_OK, checker->GetTypeID(&typeId));
  return typeId;
}

long CheckPath(ICheckFile* checker, const std::wstring& path) {
  const UniqueBstr bstr = MakeBstr(path);
  EXPECT_EQ(S_OK, checker->CheckFile(bstr.get()));
  return TypeIdOf(checker);
}

}  // namespace kindprobe::wintest
