#include "component/module_version.h"

#include <cstdio>
#include <memory>
#include <new>

namespace kindprobe::component {
namespace {

constexpr DWORD kModulePathCapacity = MAX_PATH;

}  // namespace

void ReadModuleVersion(void* module, ModuleVersionText* version) {
  wchar_t path[kModulePathCapacity] = {};
  const DWORD pathLength =
      ::GetModuleFileNameW(static_cast<HMODULE>(module), path, kModulePathCapacity);
  // A cut path names another file, or none: no version rather than a wrong one.
  if (pathLength == 0 || pathLength >= kModulePathCapacity) return;

  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return;
  std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[size]);
  if (!block || !::GetFileVersionInfoW(path, 0, size, block.get())) return;

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedLength = 0;
  if (!::VerQueryValueW(block.get(), L"\\", reinterpret_cast<void**>(&fixed), &fixedLength) ||
      fixed == nullptr || fixedLength < sizeof(VS_FIXEDFILEINFO)) {
    return;
  }
  std::swprintf(version->text, std::size(version->text), L"%u.%u.%u.%u",
                static_cast<unsigned>(HIWORD(fixed->dwFileVersionMS)),
                static_cast<unsigned>(LOWORD(fixed->dwFileVersionMS)),
                static_cast<unsigned>(HIWORD(fixed->dwFileVersionLS)),
                static_cast<unsigned>(LOWORD(fixed->dwFileVersionLS)));
}

}  // namespace kindprobe::component
