#include "registration/server_registration.h"

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <shlwapi.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "platform/hresult.h"
#include "platform/registry.h"
#include "platform/win32/unique_resource.h"

namespace kindprobe::registration {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

const char16_t* AsUtf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

constexpr wchar_t kRegistryResourceType[] = L"REGISTRY";
constexpr std::wstring_view kTypeLibExtension = L".tlb";

using ModulePathBuffer = std::array<wchar_t, kModulePathCapacity>;

HRESULT LastErrorResult() {
  const DWORD error = ::GetLastError();
  // A call that failed without setting an error must not pass for a success.
  if (error == ERROR_SUCCESS) return E_FAIL;
  return hr::FromWin32(static_cast<Win32Error>(error));
}

// The path of `module`, refused when it fills the buffer: it may have been cut, and a cut path
// registered or searched for a type library would name another file.
HRESULT GetModulePath(HMODULE module, ModulePathBuffer& path, DWORD* length) {
  const DWORD written = ::GetModuleFileNameW(module, path.data(), kModulePathCapacity);
  if (written == 0) return LastErrorResult();
  if (written >= kModulePathCapacity) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  *length = written;
  return S_OK;
}

// The scripts put the path inside a quoted string, where two quotes read as one.
std::wstring DoubleSingleQuotes(std::wstring_view path) {
  std::wstring escaped;
  escaped.reserve(path.size() * 2);
  for (const wchar_t unit : path) {
    escaped.push_back(unit);
    if (unit == L'\'') escaped.push_back(L'\'');
  }
  return escaped;
}

using platform::win32::ComPtr;
using platform::win32::UniqueBstr;
using platform::win32::UniqueModule;
using platform::win32::UniqueRegKey;

// The script text widened to UTF-16. Running out of memory throws, like the path's copies in
// RunRegistryScript; the module's boundary answers E_OUTOFMEMORY for it.
HRESULT WidenScript(const char* bytes, DWORD count, UINT codePage, std::wstring* text) {
  if (count >= static_cast<DWORD>(INT_MAX)) return E_OUTOFMEMORY;
  text->resize(count);
  // An empty resource is an empty script; the conversion would refuse a zero length.
  int written = 0;
  if (count != 0) {
    written = ::MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(count), text->data(),
                                    static_cast<int>(count));
    if (written == 0) return LastErrorResult();
  }
  text->resize(static_cast<std::size_t>(written));
  return S_OK;
}

UINT ChooseScriptCodePage() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  if (::GetVersionExW(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
      version.dwMajorVersion >= 5) {
    return CP_THREAD_ACP;
  }
  std::array<char, 7> digits{};
  if (::GetLocaleInfoA(::GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, digits.data(),
                       static_cast<int>(digits.size())) != 0) {
    const UINT codePage = static_cast<UINT>(std::strtoul(digits.data(), nullptr, 10));
    if (codePage != 0) return codePage;
  }
  return ::GetACP();
}

// Whether TypeLib\{library}\major.minor exists: removing a registration that is not there
// would otherwise fail, and with it a second unregistration.
bool IsTypeLibRegistered(const TLIBATTR& attributes) {
  std::array<wchar_t, 40> libraryId{};
  if (::StringFromGUID2(attributes.guid, libraryId.data(), static_cast<int>(libraryId.size())) ==
      0) {
    return true;
  }
  std::array<wchar_t, 80> keyName{};
  std::swprintf(keyName.data(), keyName.size(), L"TypeLib\\%ls\\%x.%x", libraryId.data(),
                static_cast<unsigned>(attributes.wMajorVerNum),
                static_cast<unsigned>(attributes.wMinorVerNum));
  UniqueRegKey key;
  const LSTATUS status = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, keyName.data(), 0, KEY_READ, key.put());
  // Only a key that is certainly absent counts as nothing to remove.
  return status != ERROR_FILE_NOT_FOUND;
}

}  // namespace

// Asked on every script run (a few per registration): kept in a function-local static, it
// would cost the runtime's guard lock, left behind each time the module is unloaded.
UINT ScriptCodePage() { return ChooseScriptCodePage(); }

HRESULT RunRegistryScript(RegistrarModule& module, UINT resourceId, bool doRegister,
                          std::span<const ScriptReplacement> extra) {
  ScriptRegistrar registrar;
  // A caller's pair that cannot be added is not fatal: every name a script of this module
  // refers to is added again below, where failures count.
  for (const ScriptReplacement& pair : extra) {
    registrar.AppendReplacement(AsUtf16(pair.name), AsUtf16(pair.value));
  }
  HRESULT result = module.AddCommonReplacements(registrar);
  if (FAILED(result)) return result;

  ModulePathBuffer path{};
  DWORD length = 0;
  result = GetModulePath(module.ModuleHandle(), path, &length);
  if (FAILED(result)) return result;
  const std::wstring escaped = DoubleSingleQuotes({path.data(), length});
  result = registrar.AppendReplacement(u"Module", AsUtf16(escaped.c_str()));
  if (FAILED(result)) return result;
  result = registrar.AppendReplacement(u"Module_Raw", AsUtf16(escaped.c_str()));
  if (FAILED(result)) return result;

  const UniqueModule file(::LoadLibraryExW(path.data(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!file) return LastErrorResult();
  const HRSRC resource =
      ::FindResourceW(file.get(), MAKEINTRESOURCEW(resourceId), kRegistryResourceType);
  if (resource == nullptr) return LastErrorResult();
  const HGLOBAL loaded = ::LoadResource(file.get(), resource);
  if (loaded == nullptr) return LastErrorResult();
  const DWORD size = ::SizeofResource(file.get(), resource);
  const auto* bytes = static_cast<const char*>(::LockResource(loaded));
  if (bytes == nullptr) return LastErrorResult();

  std::wstring text;
  result = WidenScript(bytes, size, ScriptCodePage(), &text);
  if (FAILED(result)) return result;
  const std::unique_ptr<platform::Registry> registry = platform::CreateSystemRegistry();
  return ProcessScriptText(registrar, AsUtf16(text.c_str()), doRegister, *registry);
}

HRESULT LoadModuleTypeLib(HMODULE module, ITypeLib** typeLib, BSTR* path) {
  if (typeLib == nullptr || path == nullptr) return E_POINTER;
  *typeLib = nullptr;
  *path = nullptr;

  ModulePathBuffer file{};
  DWORD length = 0;
  HRESULT result = GetModulePath(module, file, &length);
  if (result != S_OK) return result;
  wchar_t* const extension = ::PathFindExtensionW(file.data());

  ComPtr<ITypeLib> library;
  result = ::LoadTypeLib(file.data(), library.put());
  if (FAILED(result)) {
    const std::size_t stem = static_cast<std::size_t>(extension - file.data());
    if (stem + kTypeLibExtension.size() >= file.size()) return E_FAIL;
    *std::copy(kTypeLibExtension.begin(), kTypeLibExtension.end(), extension) = L'\0';
    result = ::LoadTypeLib(file.data(), library.put());
    if (FAILED(result)) return result;
  }
  *path = ::SysAllocString(file.data());
  if (*path == nullptr) return E_OUTOFMEMORY;
  *typeLib = library.release();
  return S_OK;
}

HRESULT RegisterModuleTypeLib(HMODULE module) {
  ComPtr<ITypeLib> library;
  UniqueBstr path;
  const HRESULT result = LoadModuleTypeLib(module, library.put(), path.put());
  if (FAILED(result)) return result;

  // The folder of the file, with its trailing separator, from at most the first 259 characters.
  ModulePathBuffer helpDirectory{};
  ::lstrcpynW(helpDirectory.data(), path.get(), static_cast<int>(helpDirectory.size()));
  wchar_t* folderEnd = helpDirectory.data();
  for (wchar_t* at = helpDirectory.data(); *at != L'\0'; at = ::CharNextW(at)) {
    if (*at == L'\\' || *at == L'/' || *at == L':') folderEnd = ::CharNextW(at);
  }
  *folderEnd = L'\0';
  return ::RegisterTypeLib(library.get(), path.get(), helpDirectory.data());
}

HRESULT UnregisterModuleTypeLib(HMODULE module) {
  ComPtr<ITypeLib> library;
  UniqueBstr path;
  HRESULT result = LoadModuleTypeLib(module, library.put(), path.put());
  if (FAILED(result)) return result;

  TLIBATTR* attributes = nullptr;
  result = library->GetLibAttr(&attributes);
  if (FAILED(result)) return result;
  if (IsTypeLibRegistered(*attributes)) {
    result = ::UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum,
                                 attributes->wMinorVerNum, attributes->lcid, attributes->syskind);
  }
  library->ReleaseTLibAttr(attributes);
  return result;
}

}  // namespace kindprobe::registration
