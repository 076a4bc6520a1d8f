#include "cli/output_format.h"

#include <array>

#include "engine/file_classifier.h"
#include "platform/utf.h"

namespace kindprobe::cli {
namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendEscape(char16_t unit, std::string* out) {
  static constexpr char kHex[] = "0123456789abcdef";
  const char escape[] = {'\\', 'u', kHex[(unit >> 12) & 0xF], kHex[(unit >> 8) & 0xF],
                         kHex[(unit >> 4) & 0xF], kHex[unit & 0xF]};
  out->append(escape, sizeof escape);
}

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    *out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out += static_cast<char>(0xC0 | (cp >> 6));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *out += static_cast<char>(0xE0 | (cp >> 12));
    *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (cp >> 18));
    *out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string_view TypeName(int32_t typeId) {
  static constexpr std::array<std::string_view, 5> kNames = {
      "Unknown", "PlayerCache", "NonMedia", "ZeroByte", "InvalidMedia"};
  static_assert(TypeIDUnknown == 0 && TypeIDPlayerCache == 1 && TypeIDNonMedia == 2 &&
                TypeIDZeroByte == 3 && TypeIDInvalidMedia == 4);
  if (typeId < 0 || static_cast<size_t>(typeId) >= kNames.size()) return kNames[0];
  return kNames[static_cast<size_t>(typeId)];
}

void AppendJsonString(std::u16string_view text, std::string* out) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'"' || c == u'\\') {
      *out += '\\';
      *out += static_cast<char>(c);
    } else if (c < 0x20) {
      switch (c) {
        case u'\n': *out += "\\n"; break;
        case u'\r': *out += "\\r"; break;
        case u'\t': *out += "\\t"; break;
        case u'\b': *out += "\\b"; break;
        case u'\f': *out += "\\f"; break;
        default: AppendEscape(c, out); break;
      }
    } else if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      AppendUtf8(0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00),
                 out);
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      AppendEscape(c, out);
    } else {
      AppendUtf8(c, out);
    }
  }
}

void AppendResultLine(OutputMode mode, std::u16string_view path, const Classification& result,
                      std::string* out) {
  if (mode == OutputMode::kJson) {
    *out += "{\"path\":\"";
    AppendJsonString(path, out);
    *out += "\",\"typeId\":";
    *out += std::to_string(result.typeId);
    *out += ",\"typeName\":\"";
    *out += TypeName(result.typeId);
    *out += "\",\"description\":\"";
    AppendJsonString(result.description, out);
    *out += "\",\"rule\":";
    *out += result.ruleIndex >= 0 ? std::to_string(result.ruleIndex) : "null";
    if (!result.error.empty()) {
      *out += ",\"error\":\"";
      AppendJsonString(platform::Utf8ToUtf16(result.error), out);
      *out += '"';
    }
    *out += "}\n";
    return;
  }
  if (mode == OutputMode::kText) {
    // The name exactly as the file system has it, undecodable bytes included.
    *out += platform::Utf16ToUtf8(path);
    *out += ": ";
  }
  *out += platform::Utf16ToUtf8(result.description);
  *out += " (TypeID ";
  *out += std::to_string(result.typeId);
  *out += ")\n";
}

}  // namespace kindprobe::cli
