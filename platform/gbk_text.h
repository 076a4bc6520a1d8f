// The rule text is GBK (code page 936) whatever the system's own code page is.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kindprobe::platform {

// Widens GBK bytes to UTF-16. False when the conversion is unavailable or fails.
bool WidenGbk(std::span<const uint8_t> bytes, std::u16string* text);

}  // namespace kindprobe::platform
