#include "diagnosis/output_format.h"

#include <array>

#include "diagnosis/printable_name.h"
#include "engine/file_classifier.h"
#include "platform/utf.h"

namespace kindprobe::cli {
namespace {

using platform::AppendUtf8;
using platform::IsHighSurrogate;
using platform::IsLowSurrogate;

void AppendEscape(char16_t unit, std::string* out) {
  static constexpr char kHex[] = "0123456789abcdef";
  const char escape[] = {'\\', 'u', kHex[(unit >> 12) & 0xF], kHex[(unit >> 8) & 0xF],
                         kHex[(unit >> 4) & 0xF], kHex[unit & 0xF]};
  out->append(escape, sizeof escape);
}

void AppendJsonReasons(const std::vector<ReasonLine>& reasons, std::string* out) {
  *out += ",\"reasons\":[";
  for (size_t i = 0; i < reasons.size(); ++i) {
    *out += i == 0 ? "{\"code\":\"" : ",{\"code\":\"";
    *out += reasons[i].code;
    *out += "\",\"detail\":\"";
    AppendJsonString(reasons[i].detail, out);
    *out += "\"}";
  }
  *out += ']';
}

void AppendJsonStreams(const std::vector<StreamLine>& streams, std::string* out) {
  *out += ",\"streams\":[";
  for (size_t i = 0; i < streams.size(); ++i) {
    *out += i == 0 ? "{\"kind\":\"" : ",{\"kind\":\"";
    *out += streams[i].kind;
    *out += "\",\"codec\":\"";
    AppendJsonString(streams[i].codec, out);
    *out += "\",\"tag\":\"";
    AppendJsonString(platform::Utf8ToUtf16(streams[i].tag), out);
    *out += "\"}";
  }
  *out += ']';
}

// "  streams: video HEVC (hvc1), audio E-AC-3 (ec-3)"
void AppendStreamsLine(const std::vector<StreamLine>& streams, std::string* out) {
  if (streams.empty()) return;
  *out += "  streams: ";
  for (size_t i = 0; i < streams.size(); ++i) {
    if (i != 0) *out += ", ";
    *out += platform::Utf16ToUtf8(streams[i].kindText);
    *out += ' ';
    *out += platform::Utf16ToUtf8(streams[i].codec);
    *out += " (";
    *out += streams[i].tag;
    *out += ')';
  }
  *out += '\n';
}

}  // namespace

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
    if (!result.mime.empty()) {
      *out += "\",\"mime\":\"";
      *out += result.mime;
    }
    *out += "\",\"rule\":";
    *out += result.ruleIndex >= 0 ? std::to_string(result.ruleIndex) : "null";
    if (!result.error.empty()) {
      *out += ",\"error\":\"";
      AppendJsonString(platform::Utf8ToUtf16(result.error), out);
      *out += '"';
    }
    if (result.reasons != nullptr) AppendJsonReasons(*result.reasons, out);
    if (result.streams != nullptr) AppendJsonStreams(*result.streams, out);
    *out += "}\n";
    return;
  }
  if (mode == OutputMode::kText) {
    // The name as the file system has it, undecodable bytes included, but control characters
    // escaped so that every result stays one line.
    AppendPrintableName(path, out);
    *out += ": ";
  }
  if (result.mimeOnly) {
    *out += result.mime;
    *out += '\n';
  } else {
    *out += platform::Utf16ToUtf8(result.description);
    *out += " (TypeID ";
    *out += std::to_string(result.typeId);
    *out += ")\n";
  }
  if (result.reasons != nullptr) {
    for (const ReasonLine& reason : *result.reasons) {
      *out += "  ";
      *out += reason.code;
      *out += ": ";
      *out += platform::Utf16ToUtf8(reason.detail);
      *out += '\n';
    }
  }
  if (result.streams != nullptr) AppendStreamsLine(*result.streams, out);
}

void AppendChangeLine(OutputMode mode, std::u16string_view path, const Classification& before,
                      const Classification& after, std::string* out) {
  // Each side is written as a result line of its own, so both keep the result lines' form.
  std::string side[2];
  const Classification* results[2] = {&before, &after};
  for (int i = 0; i < 2; ++i) {
    if (mode == OutputMode::kJson) {
      AppendResultLine(OutputMode::kJson, u"", *results[i], &side[i]);
      // {"path":"",REST}\n -> {REST}
      constexpr std::string_view kEmptyPath = "\"path\":\"\",";
      side[i].erase(1, kEmptyPath.size());
    } else {
      AppendResultLine(OutputMode::kBrief, u"", *results[i], &side[i]);
    }
    side[i].pop_back();  // the line end
  }
  if (mode == OutputMode::kJson) {
    *out += "{\"path\":\"";
    AppendJsonString(path, out);
    *out += "\",\"old\":";
    *out += side[0];
    *out += ",\"new\":";
    *out += side[1];
    *out += "}\n";
    return;
  }
  AppendPrintableName(path, out);
  *out += ": ";
  *out += side[0];
  *out += " -> ";
  *out += side[1];
  *out += '\n';
}

}  // namespace kindprobe::cli
