// The language of descriptions and explanations, for the command and the C library alike.
#pragma once

namespace kindprobe {

enum class Language { kChinese, kEnglish };

}  // namespace kindprobe
