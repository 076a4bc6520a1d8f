// Portable stand-ins for the Windows string routines, matching them on the texts registry
// scripts use.
#include "platform/text_routines.h"

namespace kindprobe::platform {

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
  const auto isBlank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  const char16_t* p = text;
  while (isBlank(*p)) ++p;
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
  while (isBlank(*p)) ++p;
  if (*p != 0) return hr::kDispTypeMismatch;
  if (overflow || (negative && number != 0)) return hr::kDispOverflow;
  *value = static_cast<std::uint32_t>(number);
  return hr::kOk;
}

}  // namespace kindprobe::platform
