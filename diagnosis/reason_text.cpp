#include "diagnosis/reason_text.h"

#include <array>
#include <map>
#include <optional>

#include "diagnosis/description_language.h"
#include "engine/tab_table.h"
#include "platform/utf.h"

extern const unsigned char kEmbeddedExplainMessages[];
extern const std::size_t kEmbeddedExplainMessagesSize;

namespace kindprobe {
namespace {

using explain::DetailId;

// In the order of DetailId.
constexpr std::array<std::string_view, 27> kDetailKeys = {
    "riff-size",     "avi-movi",        "riff-data",       "avi-empty-movi", "iso-box",
    "iso-no-moov",   "iso-no-mdat",     "mkv-segment",     "flv-tail",       "flv-filesize",
    "flv-no-tags",   "ts-partial",      "ogg-page",        "ogg-no-eos",     "id3-tag",
    "id3-only",      "mp3-bytes",       "impossible-size", "iso-empty-mdat", "mkv-no-cluster",
    "avi-next-riff", "avi-odml-frames", "asf-file-size",   "renamed",        "encrypted",
    "not-media",     "zero-filled"};
static_assert(kDetailKeys.size() == static_cast<size_t>(explain::kLastDetail) + 1);

struct Texts {
  std::u16string chinese;
  std::u16string english;
};

// Rows "KEY<TAB>Chinese<TAB>English".
std::map<std::string, Texts, std::less<>> ParseTable(std::string_view text) {
  std::map<std::string, Texts, std::less<>> table;
  ForEachTableRow<3>(text, [&](const auto& row) {
    table[std::string(row[0])] = {platform::Utf8ToUtf16(row[1]), platform::Utf8ToUtf16(row[2])};
  });
  return table;
}

const std::map<std::string, Texts, std::less<>>& Table() {
  static const auto table = ParseTable(std::string_view(
      reinterpret_cast<const char*>(kEmbeddedExplainMessages), kEmbeddedExplainMessagesSize));
  return table;
}

// The table's text for `key` in `language`; none when the table lacks it.
std::optional<std::u16string> Lookup(std::string_view key, Language language) {
  const auto& table = Table();
  const auto found = table.find(key);
  if (found == table.end()) return std::nullopt;
  return language == Language::kEnglish ? found->second.english : found->second.chinese;
}

constexpr std::string_view kContentPrefix = "content-";
constexpr std::string_view kStreamPrefix = "stream-";

std::u16string Number(uint64_t n) { return platform::Utf8ToUtf16(std::to_string(n)); }

// The value of a field such as "{declared}"; none for text that only looks like one.
std::optional<std::u16string> Field(std::u16string_view name, const explain::Reason& reason,
                                    Language language) {
  if (name == u"declared") return Number(reason.declared);
  if (name == u"actual") return Number(reason.actual);
  if (name == u"name") return reason.name;
  // Rule descriptions in the language of the rest of the line.
  if (name == u"rule") return std::u16string(DescriptionIn(language, reason.nameRule));
  if (name == u"other" && reason.detail == DetailId::kNotMedia) {
    const std::string key = std::string(kContentPrefix) + platform::Utf16ToUtf8(reason.other);
    return Lookup(key, language).value_or(reason.other);
  }
  if (name == u"other") return std::u16string(DescriptionIn(language, reason.other));
  return std::nullopt;
}

// One pass over the template: what a field puts in (a file's extension, say) is never read
// again as a field.
std::u16string Fill(std::u16string_view text, const explain::Reason& reason, Language language) {
  std::u16string out;
  while (!text.empty()) {
    const size_t open = text.find(u'{');
    const size_t close = open == std::u16string_view::npos ? open : text.find(u'}', open);
    if (close == std::u16string_view::npos) break;
    out += text.substr(0, open);
    if (auto value = Field(text.substr(open + 1, close - open - 1), reason, language)) {
      out += *value;
    } else {
      out += text.substr(open, close - open + 1);
    }
    text.remove_prefix(close + 1);
  }
  out += text;
  return out;
}

}  // namespace

std::string_view DetailKey(DetailId detail) {
  const auto index = static_cast<size_t>(detail);
  return index < kDetailKeys.size() ? kDetailKeys[index] : std::string_view("?");
}

std::u16string DetailText(const explain::Reason& reason, Language language) {
  const std::string_view key = DetailKey(reason.detail);
  const auto text = Lookup(key, language);
  if (!text) return platform::Utf8ToUtf16(key);
  return Fill(*text, reason, language);
}

std::vector<ReasonLine> ReasonLines(const explain::Reasons& reasons, Language language) {
  std::vector<ReasonLine> lines;
  for (const explain::Reason& reason : reasons) {
    lines.push_back({explain::ReasonCodeName(reason.code), DetailText(reason, language)});
  }
  return lines;
}

std::vector<StreamLine> StreamLines(const explain::Streams& streams, Language language) {
  std::vector<StreamLine> lines;
  for (const explain::Stream& stream : streams) {
    StreamLine line;
    line.kind = explain::StreamKindName(stream.kind);
    const std::string key = std::string(kStreamPrefix) + std::string(line.kind);
    line.kindText = Lookup(key, language).value_or(platform::Utf8ToUtf16(line.kind));
    line.codec =
        language == Language::kChinese && !stream.codecZh.empty() ? stream.codecZh : stream.codec;
    line.tag = stream.tag;
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace kindprobe
