#include "platform/text_routines.h"

#ifdef _WIN32
#include <oleauto.h>
#include <windows.h>
#endif

namespace kindprobe::platform {

char16_t UpcaseUnit(char16_t unit) {
  const unsigned c = unit;
  // Ranges where upper and lower case alternate, the upper case at the even (or odd) unit.
  const auto even_upper = [c](unsigned first, unsigned last) {
    return c >= first && c <= last && (c & 1u) != 0;
  };
  const auto odd_upper = [c](unsigned first, unsigned last) {
    return c >= first && c <= last && (c & 1u) == 0;
  };
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? static_cast<char16_t>(c - 0x20) : unit;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 0x20);
  if (c == 0xFF) return u'\u0178';
  if (c == 0xB5) return u'\u039C';
  if (even_upper(0x100, 0x137) || even_upper(0x14A, 0x177)) return static_cast<char16_t>(c - 1);
  if (odd_upper(0x139, 0x148) || odd_upper(0x179, 0x17E)) return static_cast<char16_t>(c - 1);
  if (c == 0x3AC) return u'\u0386';
  if (c >= 0x3AD && c <= 0x3AF) return static_cast<char16_t>(c - 0x25);
  if (c == 0x3C2) return u'\u03A3';
  if (c >= 0x3B1 && c <= 0x3CB) return static_cast<char16_t>(c - 0x20);
  if (c == 0x3CC) return u'\u038C';
  if (c == 0x3CD || c == 0x3CE) return static_cast<char16_t>(c - 0x3F);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  if (even_upper(0x460, 0x481) || even_upper(0x48A, 0x4BF)) return static_cast<char16_t>(c - 1);
  if (c >= 0x561 && c <= 0x586) return static_cast<char16_t>(c - 0x30);
  if (even_upper(0x1E00, 0x1E95) || even_upper(0x1EA0, 0x1EFF)) {
    return static_cast<char16_t>(c - 1);
  }
  if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 0x20);
  return unit;
}

#ifdef _WIN32

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

#else

const char16_t* NextCharacter(const char16_t* text) {
  if (*text == 0) return text;
  if (text[0] >= 0xD800 && text[0] <= 0xDBFF && text[1] >= 0xDC00 && text[1] <= 0xDFFF) {
    return text + 2;
  }
  return text + 1;
}

int CompareNoCase(const char16_t* a, const char16_t* b) {
  for (;; ++a, ++b) {
    const char16_t x = UpcaseUnit(*a);
    const char16_t y = UpcaseUnit(*b);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
}

HResult UInt32FromString(const char16_t* text, std::uint32_t* value) {
  const auto is_blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  const char16_t* p = text;
  while (is_blank(*p)) ++p;
  bool negative = false;
  if (*p == u'+' || *p == u'-') negative = (*p++ == u'-');
  std::uint64_t number = 0;
  bool overflow = false;
  const char16_t* digits = p;
  for (; *p >= u'0' && *p <= u'9'; ++p) {
    number = number * 10 + static_cast<unsigned>(*p - u'0');
    if (number > 0xFFFFFFFFu) {
      overflow = true;
      number = 0xFFFFFFFFu + 1ull;  // keeps the sum bounded while the digits run on
    }
  }
  if (p == digits) return hr::kDispTypeMismatch;
  while (is_blank(*p)) ++p;
  if (*p != 0) return hr::kDispTypeMismatch;
  if (overflow || (negative && number != 0)) return hr::kDispOverflow;
  *value = static_cast<std::uint32_t>(number);
  return hr::kOk;
}

#endif

}  // namespace kindprobe::platform
