// UTF-8 <-> UTF-16 that never loses a byte: an undecodable byte b of a UTF-8 text becomes the
// lone surrogate U+DC00 + b (U+DC80..U+DCFF) and is turned back into b on the way out, so a
// POSIX file name that is not valid UTF-8 still reaches its file.
#pragma once

#include <string>
#include <string_view>

namespace kindprobe::platform {

constexpr bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Appends one code point (below U+110000, not a surrogate) as 1 to 4 bytes of UTF-8.
void AppendUtf8(char32_t codePoint, std::string* out);

std::u16string Utf8ToUtf16(std::string_view text);

// Lone surrogates U+DC80..U+DCFF become their original byte; any other lone surrogate becomes
// U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// True when `text` carries an undecodable byte (a lone surrogate of the U+DC80..U+DCFF range).
bool HasRawBytes(std::u16string_view text);

}  // namespace kindprobe::platform
