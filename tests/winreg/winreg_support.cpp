#include "winreg_support.h"

#include <objbase.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <type_traits>

#include "kindprobe.h"
#include "kindprobe_dll.h"

namespace kindprobe::wintest {
namespace {

using platform::win32::UniqueModule;
using platform::win32::UniqueRegKey;

UniqueRegKey OpenClassesRoot(const std::wstring& path) {
  UniqueRegKey key;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return {};
  }
  return key;
}

// Paths of any length, for the file functions.
std::wstring Extended(const std::wstring& path) {
  return path.rfind(L"\\\\?\\", 0) == 0 ? path : L"\\\\?\\" + path;
}

bool MakeDirectories(const std::wstring& directory) {
  for (std::size_t at = directory.find(L'\\', 3); at != std::wstring::npos;
       at = directory.find(L'\\', at + 1)) {
    ::CreateDirectoryW(Extended(directory.substr(0, at)).c_str(), nullptr);
  }
  return ::CreateDirectoryW(Extended(directory).c_str(), nullptr) ||
         ::GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

std::wstring RegistryForm(const GUID& id) {
  std::array<wchar_t, 40> text{};
  ::StringFromGUID2(id, text.data(), static_cast<int>(text.size()));
  return text.data();
}

std::wstring ClassKey() { return L"CLSID\\" + RegistryForm(CLSID_CheckFile); }
std::wstring AppIdKey() { return std::wstring(L"AppID\\") + KINDPROBE_APPID_TEXT; }
std::wstring TypeLibKey() { return L"TypeLib\\" + RegistryForm(LIBID_KindprobeLib); }
std::wstring InterfaceKey() { return L"Interface\\" + RegistryForm(IID_ICheckFile); }
std::wstring ProxyStubKey() { return L"CLSID\\" + RegistryForm(IID_ICheckFile); }

bool ClassesRootKeyExists(const std::wstring& path) { return static_cast<bool>(OpenClassesRoot(path)); }

std::optional<std::wstring> ClassesRootString(const std::wstring& path, const wchar_t* name) {
  const UniqueRegKey key = OpenClassesRoot(path);
  if (!key) return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return std::nullopt;
  }
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  if (::RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                         &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.resize(size / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  return value;
}

std::optional<DWORD> RunProgram(const std::wstring& commandLine) {
  std::wstring mutableLine = commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return std::nullopt;
  }
  const UniqueHandle processHandle(process.hProcess);
  const UniqueHandle threadHandle(process.hThread);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 0;
  if (!::GetExitCodeProcess(process.hProcess, &exitCode)) return std::nullopt;
  return exitCode;
}

std::optional<DWORD> Regsvr32(const std::wstring& modulePath, bool unregister) {
  return RunProgram(std::wstring(L"regsvr32.exe ") + (unregister ? L"/u " : L"") + L"/s \"" +
                    modulePath + L"\"");
}

std::vector<char> ExportClassesRoot(const std::wstring& scratchFile) {
  ::DeleteFileW(scratchFile.c_str());
  const std::optional<DWORD> exitCode =
      RunProgram(L"reg.exe export HKEY_CLASSES_ROOT \"" + scratchFile + L"\" /y");
  if (exitCode != 0u) return {};
  std::ifstream file(std::filesystem::path(scratchFile), std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

HRESULT CallRegistrationExport(const std::wstring& modulePath, const char* exportName) {
  const UniqueModule module(::LoadLibraryW(Extended(modulePath).c_str()));
  if (!module) return HRESULT_FROM_WIN32(::GetLastError());
  const auto function = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(::GetProcAddress(module.get(), exportName)));
  if (function == nullptr) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  return function();
}

std::wstring BuiltModulePath() { return ProgramDirectory() + L"\\Kindprobe.dll"; }
std::wstring BuiltModuleWithoutTypeLibPath() {
  // notlb\ beside bin\, named without "..": the copy takes the path as it is.
  const std::wstring bin = ProgramDirectory();
  return bin.substr(0, bin.find_last_of(L'\\')) + L"\\notlb\\Kindprobe.dll";
}
std::wstring BuiltTypeLibPath() { return ProgramDirectory() + L"\\kindprobe.tlb"; }

bool CopyInto(const std::wstring& from, const std::wstring& to) {
  const std::size_t slash = to.find_last_of(L'\\');
  if (slash == std::wstring::npos || !MakeDirectories(to.substr(0, slash))) return false;
  return ::CopyFileW(Extended(from).c_str(), Extended(to).c_str(), FALSE) != FALSE;
}

std::optional<std::string> ReadModuleResource(const std::wstring& modulePath, const wchar_t* type,
                                              WORD id) {
  const UniqueModule module(
      ::LoadLibraryExW(modulePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!module) return std::nullopt;
  const HRSRC resource = ::FindResourceW(module.get(), MAKEINTRESOURCEW(id), type);
  if (resource == nullptr) return std::nullopt;
  const HGLOBAL loaded = ::LoadResource(module.get(), resource);
  const auto* bytes = static_cast<const char*>(::LockResource(loaded));
  if (bytes == nullptr) return std::nullopt;
  return std::string(bytes, ::SizeofResource(module.get(), resource));
}

bool ReplaceModuleResource(const std::wstring& modulePath, const wchar_t* type, WORD id,
                           const std::string& bytes) {
  const HANDLE update = ::BeginUpdateResourceW(modulePath.c_str(), FALSE);
  if (update == nullptr) return false;
  const WORD neutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
  if (!::UpdateResourceW(update, type, MAKEINTRESOURCEW(id), neutral,
                         const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()))) {
    ::EndUpdateResourceW(update, TRUE);
    return false;
  }
  return ::EndUpdateResourceW(update, FALSE) != FALSE;
}

}  // namespace kindprobe::wintest
