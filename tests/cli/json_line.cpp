#include "json_line.h"

#include "platform/utf.h"

namespace kindprobe::clitest {
namespace {

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  std::optional<JsonObject> Object() {
    JsonObject object;
    if (!Take('{')) return std::nullopt;
    if (Take('}')) return AtEnd() ? std::optional(object) : std::nullopt;
    do {
      JsonValue key;
      if (!String(&key) || !Take(':')) return std::nullopt;
      JsonValue value;
      if (!Value(&value)) return std::nullopt;
      if (!object.emplace(platform::Utf16ToUtf8(key.text), value).second) return std::nullopt;
    } while (Take(','));
    if (!Take('}') || !AtEnd()) return std::nullopt;
    return object;
  }

 private:
  bool AtEnd() const { return pos_ == text_.size(); }
  bool Take(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool Value(JsonValue* value) {
    if (pos_ >= text_.size()) return false;
    if (text_[pos_] == '"') return String(value);
    if (text_.substr(pos_, 4) == "null") {
      pos_ += 4;
      value->type = JsonValue::Type::kNull;
      return true;
    }
    bool negative = Take('-');
    const size_t start = pos_;
    int64_t number = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
      number = number * 10 + (text_[pos_++] - '0');
    }
    if (pos_ == start || (text_[start] == '0' && pos_ - start > 1)) return false;
    value->type = JsonValue::Type::kInteger;
    value->integer = negative ? -number : number;
    return true;
  }

  bool Hex4(char16_t* unit) {
    if (text_.size() - pos_ < 4) return false;
    unsigned value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[pos_++];
      value <<= 4;
      if (c >= '0' && c <= '9') value |= c - '0';
      else if (c >= 'a' && c <= 'f') value |= c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') value |= c - 'A' + 10;
      else return false;
    }
    *unit = static_cast<char16_t>(value);
    return true;
  }

  bool String(JsonValue* value) {
    if (!Take('"')) return false;
    std::string raw;
    std::u16string out;
    auto flush = [&]() -> bool {
      const std::u16string decoded = platform::Utf8ToUtf16(raw);
      // Raw bytes that are not UTF-8 would come back as U+DC80..U+DCFF: not allowed in JSON.
      if (platform::HasRawBytes(decoded)) return false;
      out += decoded;
      raw.clear();
      return true;
    };
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') {
        if (!flush()) return false;
        value->type = JsonValue::Type::kString;
        value->text = std::move(out);
        return true;
      }
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        raw += c;
        continue;
      }
      if (!flush() || pos_ >= text_.size()) return false;
      const char e = text_[pos_++];
      switch (e) {
        case '"': case '\\': case '/': out += static_cast<char16_t>(e); break;
        case 'n': out += u'\n'; break;
        case 'r': out += u'\r'; break;
        case 't': out += u'\t'; break;
        case 'b': out += u'\b'; break;
        case 'f': out += u'\f'; break;
        case 'u': {
          char16_t unit;
          if (!Hex4(&unit)) return false;
          out += unit;
          break;
        }
        default: return false;
      }
    }
    return false;
  }

  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace

std::optional<JsonObject> ParseJsonLine(std::string_view line) { return Reader(line).Object(); }

}  // namespace kindprobe::clitest
