// Clients of the registered component, as a player would be one: by ProgID through the COM
// runtime, in the component's own apartment and from the multithreaded apartment, where every
// call crosses apartments through the module's proxy/stub. Kindprobe.dll must have been
// registered (regsvr32) in this Wine prefix before these run.
#include <gtest/gtest.h>

#include <objbase.h>

#include <string>

#include "com_support.h"
#include "kindprobe.h"
#include "kindprobe/version.h"
#include "kindprobe_dll.h"
#include "test_files.h"
#include "winreg_support.h"

namespace kindprobe::wintest {
namespace {

const std::wstring kVersionText = L"" KINDPROBE_VERSION_TEXT;

HRESULT CreateByProgId(const wchar_t* progId, ComPtr<ICheckFile>& checker) {
  CLSID classId{};
  const HRESULT result = ::CLSIDFromProgID(progId, &classId);
  if (FAILED(result)) return result;
  return ::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_ICheckFile, checker.out());
}

// The module that holds the code or data at `address`, or null.
HMODULE ModuleAt(const void* address) {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      static_cast<LPCWSTR>(address), &module);
  return module;
}

std::wstring ModuleFileName(HMODULE module) {
  wchar_t buffer[MAX_PATH] = {};
  return std::wstring(buffer, ::GetModuleFileNameW(module, buffer, MAX_PATH));
}

// The method table an interface pointer points to.
const void* MethodTableOf(IUnknown* object) { return *reinterpret_cast<void* const*>(object); }

TEST(RegisteredClass, BothProgIdsNameTheClass) {
  ComApartment apartment(COINIT_APARTMENTTHREADED);
  ASSERT_TRUE(SUCCEEDED(apartment.hr()));
  CLSID fromVersioned{};
  CLSID fromIndependent{};
  ASSERT_EQ(S_OK, ::CLSIDFromProgID(L"Kindprobe.CheckFile.1", &fromVersioned));
  ASSERT_EQ(S_OK, ::CLSIDFromProgID(L"Kindprobe.CheckFile", &fromIndependent));
  EXPECT_TRUE(IsEqualCLSID(CLSID_CheckFile, fromVersioned));
  EXPECT_TRUE(IsEqualCLSID(CLSID_CheckFile, fromIndependent));
  LPOLESTR progId = nullptr;
  ASSERT_EQ(S_OK, ::ProgIDFromCLSID(CLSID_CheckFile, &progId));
  EXPECT_EQ(std::wstring(L"Kindprobe.CheckFile.1"), progId);
  ::CoTaskMemFree(progId);
}

TEST(EarlyBinding, CreatesTheRegisteredModulesObjectByProgId) {
  ComApartment apartment(COINIT_APARTMENTTHREADED);
  ASSERT_TRUE(SUCCEEDED(apartment.hr()));
  ComPtr<ICheckFile> checker;
  ASSERT_EQ(S_OK, CreateByProgId(L"Kindprobe.CheckFile", checker));

  // Same apartment: the object itself, in the module the registry names.
  EXPECT_EQ(ClassesRootString(ClassKey() + L"\\InprocServer32"),
            ModuleFileName(ModuleAt(MethodTableOf(checker.get()))));

  UniqueBstr version;
  ASSERT_EQ(S_OK, checker->GetVersion(version.put()));
  EXPECT_EQ(kVersionText, ToWString(version));
  TestDirectory files;
  EXPECT_EQ(4, CheckPath(checker.get(), files.Write(L"clip.avi", AviBytes())));
  EXPECT_EQ(kAviText, ErrorInfoOf(checker.get()));

  // The versioned ProgID reaches the same, shared object with its last result.
  ComPtr<ICheckFile> other;
  ASSERT_EQ(S_OK, CreateByProgId(L"Kindprobe.CheckFile.1", other));
  EXPECT_EQ(4, TypeIdOf(other.get()));
  EXPECT_EQ(kAviText, ErrorInfoOf(other.get()));
}

// What the client thread in the multithreaded apartment saw.
struct CrossApartmentRun {
  HRESULT apartment = E_FAIL;
  HRESULT proxyStubLookup = E_FAIL;
  CLSID proxyStubClass{};
  HRESULT creation = E_FAIL;
  bool isProxy = false;
  std::wstring proxyModule;
  std::wstring version;
  long chineseNameTypeId = -1;
  std::wstring chineseNameText;
  long nullNameTypeId = -1;
  std::wstring nullNameText;
  std::wstring chinesePath;
};

DWORD WINAPI RunMultithreadedClient(void* parameter) {
  auto& run = *static_cast<CrossApartmentRun*>(parameter);
  ComApartment apartment(COINIT_MULTITHREADED);
  run.apartment = apartment.hr();
  if (FAILED(run.apartment)) return 1;
  run.proxyStubLookup = ::CoGetPSClsid(IID_ICheckFile, &run.proxyStubClass);

  ComPtr<ICheckFile> checker;
  run.creation = CreateByProgId(L"Kindprobe.CheckFile", checker);
  if (FAILED(run.creation)) return 1;
  // Only a proxy answers IClientSecurity; the object itself does not.
  ComPtr<IUnknown> security;
  run.isProxy = checker->QueryInterface(IID_IClientSecurity, security.out()) == S_OK;
  run.proxyModule = ModuleFileName(ModuleAt(MethodTableOf(checker.get())));

  UniqueBstr version;
  if (checker->GetVersion(version.put()) == S_OK) run.version = ToWString(version);
  // A Chinese file name in, a Chinese description out.
  run.chineseNameTypeId = CheckPath(checker.get(), run.chinesePath);
  run.chineseNameText = ErrorInfoOf(checker.get());
  // A null string in: the empty name, which leaves the default result.
  if (checker->CheckFile(nullptr) == S_OK) {
    run.nullNameTypeId = TypeIdOf(checker.get());
    run.nullNameText = ErrorInfoOf(checker.get());
  }
  return 0;
}

TEST(CrossApartment, MultithreadedClientCallsThroughTheModulesProxyStub) {
  TestDirectory files;
  CrossApartmentRun run;
  run.chinesePath = files.Write(L"\u89c6\u9891\u526a\u8f91.avi", AviBytes());
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(run.chinesePath.c_str()))
      << "the Chinese file name cannot be written in this locale";

  const UniqueHandle thread(::CreateThread(nullptr, 0, &RunMultithreadedClient, &run, 0, nullptr));
  ASSERT_TRUE(thread);
  ::WaitForSingleObject(thread.get(), INFINITE);

  ASSERT_EQ(S_OK, run.apartment);
  ASSERT_EQ(S_OK, run.proxyStubLookup);
  // The interface is marshalled by the module's own proxy/stub (its class id is the IID), not
  // by the type-library marshaler that Wine falls back to.
  EXPECT_TRUE(IsEqualCLSID(IID_ICheckFile, run.proxyStubClass))
      << RegistryForm(run.proxyStubClass).c_str();
  ASSERT_EQ(S_OK, run.creation);
  EXPECT_TRUE(run.isProxy) << "the client got the object itself, not a proxy";
  // The proxy's method table is the one in Kindprobe.dll's proxy-file table.
  EXPECT_EQ(ClassesRootString(ProxyStubKey() + L"\\InprocServer32"), run.proxyModule);

  EXPECT_EQ(kVersionText, run.version);
  EXPECT_EQ(4, run.chineseNameTypeId);
  EXPECT_EQ(kAviText, run.chineseNameText);
  EXPECT_EQ(0, run.nullNameTypeId);
  EXPECT_EQ(kUnknownText, run.nullNameText);
}

}  // namespace
}  // namespace kindprobe::wintest
