// Number readers of the rule text, with the C library's unsigned-conversion rules applied to
// UTF-16: leading white space, one sign ("-" negates modulo 2^bits), digits up to the first
// other character, all bits set on overflow, 0 without digits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kindprobe::rule_text {

uint64_t ReadUnsigned64(const char16_t* text);
uint32_t ReadUnsigned32(const char16_t* text);
// A two-character window read in base 16 ("0x" prefix accepted), as the hex pairs of a mask
// or value are.
uint8_t ReadHexPair(char16_t first, char16_t second);

}  // namespace kindprobe::rule_text
