#include "platform/utf.h"

#include <cstdint>

namespace kindprobe::platform {
namespace {

constexpr char16_t kRawByteBase = 0xDC00;

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence starting at text[i], and its code point; 0 when the
// bytes there do not form one (overlong forms, surrogates and values past U+10FFFF included).
size_t DecodeSequence(std::string_view text, size_t i, char32_t* cp) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  size_t length;
  char32_t value;
  char32_t minimum;
  if (b0 < 0x80) {
    *cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    length = 2, value = b0 & 0x1F, minimum = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    length = 3, value = b0 & 0x0F, minimum = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    length = 4, value = b0 & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if (!IsContinuation(b)) return 0;
    value = (value << 6) | (b & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *cp = value;
  return length;
}

// Writes `cp` at `out` and returns the end of what it wrote (1 to 4 bytes).
char* PutUtf8(char* out, char32_t cp) {
  if (cp < 0x80) {
    *out++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out++ = static_cast<char>(0xC0 | (cp >> 6));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (cp >> 12));
    *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (cp >> 18));
    *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

}  // namespace

void AppendUtf8(char32_t codePoint, std::string* out) {
  char bytes[4];
  out->append(bytes, static_cast<size_t>(PutUtf8(bytes, codePoint) - bytes));
}

// Both conversions write into room for the longest result and trim it: names and paths are
// converted for every file, and appending unit by unit cost more than the system calls around.
std::u16string Utf8ToUtf16(std::string_view text) {
  // Never more units than bytes: a four-byte sequence gives two, anything else one per byte
  // or fewer.
  std::u16string out(text.size(), u'\0');
  char16_t* end = out.data();
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      *end++ = byte;
      ++i;
      continue;
    }
    char32_t cp;
    const size_t length = DecodeSequence(text, i, &cp);
    if (length == 0) {
      *end++ = static_cast<char16_t>(kRawByteBase + byte);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      *end++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *end++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      *end++ = static_cast<char16_t>(cp);
    }
    i += length;
  }
  out.resize(static_cast<size_t>(end - out.data()));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  // At most three bytes a unit (a surrogate pair: four for two).
  std::string out(3 * text.size(), '\0');
  char* end = out.data();
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u < 0x80) {
      *end++ = static_cast<char>(u);
    } else if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      end = PutUtf8(end, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (u >= 0xDC80 && u <= 0xDCFF) {
      *end++ = static_cast<char>(u - kRawByteBase);
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      end = PutUtf8(end, 0xFFFD);
    } else {
      end = PutUtf8(end, u);
    }
  }
  out.resize(static_cast<size_t>(end - out.data()));
  return out;
}

bool HasRawBytes(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      ++i;
    } else if (u >= 0xDC80 && u <= 0xDCFF) {
      return true;
    }
  }
  return false;
}

}  // namespace kindprobe::platform
