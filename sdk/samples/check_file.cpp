// check_file: asks Kindprobe what each file named on the command line really is, through the
// early-bound ICheckFile interface. Build it in this folder with MinGW-w64 (see README.txt).
#include <windows.h>

#include <cstdio>
#include <string>

#include "kindprobe.h"

namespace {

// Results are written as UTF-8, whatever the console's code page.
void Print(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size,
                      nullptr, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

// A BSTR that frees itself.
struct Bstr {
  BSTR text = nullptr;
  ~Bstr() { SysFreeString(text); }
  std::wstring str() const { return text != nullptr ? std::wstring(text, SysStringLen(text)) : L""; }
};

int Check(ICheckFile* checker, int count, wchar_t** paths) {
  Bstr version;
  if (FAILED(checker->GetVersion(&version.text))) return 1;
  Print(L"Kindprobe " + version.str() + L"\n");
  int status = 0;
  for (int i = 0; i < count; ++i) {
    Bstr name;
    name.text = SysAllocString(paths[i]);
    long typeId = 0;
    Bstr description;
    if (FAILED(checker->CheckFile(name.text)) || FAILED(checker->GetTypeID(&typeId)) ||
        FAILED(checker->GetErrorInfo(&description.text))) {
      status = 1;
      continue;
    }
    Print(std::wstring(paths[i]) + L": " + description.str() + L" (TypeID " +
          std::to_wstring(typeId) + L")\n");
  }
  return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  ICheckFile* checker = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_CheckFile, nullptr, CLSCTX_INPROC_SERVER, IID_ICheckFile,
                                reinterpret_cast<void**>(&checker));
  int status = 1;
  if (SUCCEEDED(hr)) {
    status = Check(checker, argc - 1, argv + 1);
    checker->Release();
  } else {
    std::fprintf(stderr, "CheckFile is not registered (0x%08lx): regsvr32 Kindprobe.dll\n",
                 static_cast<unsigned long>(hr));
  }
  CoUninitialize();
  return status;
}
