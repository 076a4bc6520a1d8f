// The few Windows string routines the registration code relies on. On Windows they are the
// system's own (CharNextW, lstrcmpiW, VarUI4FromStr); elsewhere portable stand-ins.
#pragma once

#include <cstdint>

#include "platform/hresult.h"

namespace kindprobe::platform {

// The position of the next character: a surrogate pair is one character; at the terminating
// NUL the position stays.
const char16_t* NextCharacter(const char16_t* text);

// Compares two NUL-terminated texts without regard to case (lstrcmpiW): 0 when equal.
int CompareNoCase(const char16_t* a, const char16_t* b);

// Reads an unsigned 32-bit decimal number (VarUI4FromStr, locale 0, no flags). The stand-in
// takes blanks (space, tab) around the number and an optional sign; "-0" is zero, any other
// negative number and anything above 4294967295 gives DISP_E_OVERFLOW; no digits or any other
// character gives DISP_E_TYPEMISMATCH. `*value` is written only on success.
HResult UInt32FromString(const char16_t* text, std::uint32_t* value);

// The upper-case form of one code unit, as the registry compares names: ASCII, Latin-1, Latin
// Extended-A, Greek, Cyrillic, Armenian and the full-width Latin letters; others unchanged.
char16_t UpcaseUnit(char16_t unit);

}  // namespace kindprobe::platform
