#include "registered_type_library.h"

#include "com_support.h"
#include "kindprobe.h"

namespace kindprobe::wintest {
namespace {

constexpr SYSKIND kNativeSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

}  // namespace

RegisteredTypeLibrary::RegisteredTypeLibrary(const std::wstring& modulePath) {
  ComPtr<ITypeLib> library;
  hr_ = ::LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, library.put());
  if (SUCCEEDED(hr_)) {
    std::wstring path = modulePath;
    hr_ = ::RegisterTypeLib(library.get(), path.data(), nullptr);
  }
}

RegisteredTypeLibrary::~RegisteredTypeLibrary() {
  if (SUCCEEDED(hr_)) ::UnRegisterTypeLib(LIBID_KindprobeLib, 1, 0, 0, kNativeSysKind);
}

}  // namespace kindprobe::wintest
