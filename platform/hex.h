// Hexadecimal digits, read the one way for every text width: the registry scripts' UTF-16 "B"
// data and the .reg text's UTF-8 alike.
#pragma once

namespace kindprobe::platform {

// The value of one hexadecimal digit of either case, or -1 for anything else. A char's negative
// values widen to units far beyond ASCII, so they are no digit either.
constexpr int HexDigitValue(char32_t unit) {
  if (unit >= U'0' && unit <= U'9') return static_cast<int>(unit - U'0');
  if (unit >= U'a' && unit <= U'f') return static_cast<int>(unit - U'a') + 10;
  if (unit >= U'A' && unit <= U'F') return static_cast<int>(unit - U'A') + 10;
  return -1;
}

}  // namespace kindprobe::platform
