#include "platform/text_routines.h"

namespace kindprobe::platform {

char16_t UpcaseUnit(char16_t unit) {
  const unsigned c = unit;
  // Ranges where upper and lower case alternate, the upper case at the even (or odd) unit.
  const auto evenUpper = [c](unsigned first, unsigned last) {
    return c >= first && c <= last && (c & 1u) != 0;
  };
  const auto oddUpper = [c](unsigned first, unsigned last) {
    return c >= first && c <= last && (c & 1u) == 0;
  };
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? static_cast<char16_t>(c - 0x20) : unit;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 0x20);
  if (c == 0xFF) return u'\u0178';
  if (c == 0xB5) return u'\u039C';
  if (evenUpper(0x100, 0x137) || evenUpper(0x14A, 0x177)) return static_cast<char16_t>(c - 1);
  if (oddUpper(0x139, 0x148) || oddUpper(0x179, 0x17E)) return static_cast<char16_t>(c - 1);
  if (c == 0x3AC) return u'\u0386';
  if (c >= 0x3AD && c <= 0x3AF) return static_cast<char16_t>(c - 0x25);
  if (c == 0x3C2) return u'\u03A3';
  if (c >= 0x3B1 && c <= 0x3CB) return static_cast<char16_t>(c - 0x20);
  if (c == 0x3CC) return u'\u038C';
  if (c == 0x3CD || c == 0x3CE) return static_cast<char16_t>(c - 0x3F);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  if (evenUpper(0x460, 0x481) || evenUpper(0x48A, 0x4BF)) return static_cast<char16_t>(c - 1);
  if (c >= 0x561 && c <= 0x586) return static_cast<char16_t>(c - 0x30);
  if (evenUpper(0x1E00, 0x1E95) || evenUpper(0x1EA0, 0x1EFF)) {
    return static_cast<char16_t>(c - 1);
  }
  if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 0x20);
  return unit;
}

}  // namespace kindprobe::platform
