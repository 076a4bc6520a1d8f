// The system's own string routines, which the registry itself uses.
#include <windows.h>

#include <oleauto.h>

#include "platform/text_routines.h"

namespace kindprobe::platform {

const char16_t* NextCharacter(const char16_t* text) {
  return reinterpret_cast<const char16_t*>(CharNextW(reinterpret_cast<LPCWSTR>(text)));
}

int CompareNoCase(const char16_t* a, const char16_t* b) {
  return lstrcmpiW(reinterpret_cast<LPCWSTR>(a), reinterpret_cast<LPCWSTR>(b));
}

HResult UInt32FromString(const char16_t* text, std::uint32_t* value) {
  ULONG number = 0;
  const HRESULT result =
      VarUI4FromStr(const_cast<OLECHAR*>(reinterpret_cast<const OLECHAR*>(text)), 0, 0, &number);
  if (SUCCEEDED(result)) *value = number;
  return result;
}

}  // namespace kindprobe::platform
