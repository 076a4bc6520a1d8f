// A client of the installed component as a compiled player is one: the class by its ProgID,
// then ICheckFile called through its method table. In the multithreaded apartment every call
// crosses into the component's apartment through the proxy/stub the installer registered.
//   early_binding_client.exe sta|mta FILE
// Prints "TypeID|description" (UTF-8) and the module version on a second line; exits 0 when
// every call succeeded.
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "com_support.h"
#include "kindprobe.h"

namespace {

using kindprobe::wintest::ComApartment;
using kindprobe::wintest::ComPtr;
using kindprobe::wintest::MakeBstr;
using kindprobe::wintest::ToWString;
using kindprobe::wintest::UniqueBstr;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
  return bytes;
}

int Fail(const char* what, HRESULT result) {
  std::fprintf(stderr, "%s failed: 0x%08lX\n", what, static_cast<unsigned long>(result));
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3 || (std::wcscmp(argv[1], L"sta") != 0 && std::wcscmp(argv[1], L"mta") != 0)) {
    std::fprintf(stderr, "usage: early_binding_client sta|mta FILE\n");
    return 2;
  }
  const ComApartment apartment(std::wcscmp(argv[1], L"sta") == 0 ? COINIT_APARTMENTTHREADED
                                                                 : COINIT_MULTITHREADED);
  if (FAILED(apartment.hr())) return Fail("CoInitializeEx", apartment.hr());

  CLSID classId{};
  HRESULT result = ::CLSIDFromProgID(L"Kindprobe.CheckFile", &classId);
  if (FAILED(result)) return Fail("CLSIDFromProgID", result);
  ComPtr<ICheckFile> checker;
  result =
      ::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_ICheckFile, checker.out());
  if (FAILED(result)) return Fail("CoCreateInstance", result);

  const UniqueBstr path = MakeBstr(argv[2]);
  result = checker->CheckFile(path.get());
  if (FAILED(result)) return Fail("CheckFile", result);
  long typeId = -1;
  result = checker->GetTypeID(&typeId);
  if (FAILED(result)) return Fail("GetTypeID", result);
  UniqueBstr description;
  result = checker->GetErrorInfo(description.put());
  if (FAILED(result)) return Fail("GetErrorInfo", result);
  UniqueBstr version;
  result = checker->GetVersion(version.put());
  if (FAILED(result)) return Fail("GetVersion", result);

  std::printf("%ld|%s\n%s\n", typeId, Utf8(ToWString(description)).c_str(),
              Utf8(ToWString(version)).c_str());
  return 0;
}
