// What the registration tests need around the real registry and the real tools: reading keys
// back, running regsvr32 and reg, copies of Kindprobe.dll in chosen places, with chosen
// resources.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/win/com_support.h"

namespace kindprobe::wintest {

// A GUID in registry form: braces, hyphens, upper-case digits.
std::wstring RegistryForm(const GUID& id);

// Key paths below HKEY_CLASSES_ROOT that registration writes.
std::wstring ClassKey();      // CLSID\{CheckFile}
std::wstring AppIdKey();      // AppID\{AppID}
std::wstring TypeLibKey();    // TypeLib\{KindprobeLib}
std::wstring InterfaceKey();  // Interface\{ICheckFile}
std::wstring ProxyStubKey();  // CLSID\{ICheckFile}: the proxy/stub class

bool ClassesRootKeyExists(const std::wstring& path);
// The string value `name` (null: the default value) of HKCR\path, if there is one.
std::optional<std::wstring> ClassesRootString(const std::wstring& path,
                                              const wchar_t* name = nullptr);

// Runs a program of the system (found on the search path) and waits for it: its exit code, or
// std::nullopt when it could not be started.
std::optional<DWORD> RunProgram(const std::wstring& commandLine);
std::optional<DWORD> Regsvr32(const std::wstring& modulePath, bool unregister = false);

// HKEY_CLASSES_ROOT as `reg export` writes it.
std::vector<char> ExportClassesRoot(const std::wstring& scratchFile);

// Calls DllRegisterServer or DllUnregisterServer of the module at `modulePath` in this process.
HRESULT CallRegistrationExport(const std::wstring& modulePath, const char* exportName);

// The Kindprobe.dll this test program was built with, beside it.
std::wstring BuiltModulePath();
// The same module built without its TYPELIB resource.
std::wstring BuiltModuleWithoutTypeLibPath();
// Its type library file as the build wrote it.
std::wstring BuiltTypeLibPath();

// Copies `from` to `to`, directories along the way created. Long paths are allowed.
bool CopyInto(const std::wstring& from, const std::wstring& to);

// Resource editing on a module file that is not loaded: read one resource, replace it (under
// the neutral language the module files its resources in).
std::optional<std::string> ReadModuleResource(const std::wstring& modulePath, const wchar_t* type,
                                              WORD id);
bool ReplaceModuleResource(const std::wstring& modulePath, const wchar_t* type, WORD id,
                           const std::string& bytes);

}  // namespace kindprobe::wintest
