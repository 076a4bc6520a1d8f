// Reasons from what the content is, not from a container's bookkeeping: text where the name
// promises media, and space a download reserved but never wrote.
#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "engine/explain/explain.h"
#include "engine/explain/explainers.h"
#include "engine/signature_match.h"
#include "engine/tab_table.h"
#include "platform/utf.h"

extern const unsigned char kEmbeddedTextContent[];
extern const std::size_t kEmbeddedTextContentSize;

namespace kindprobe::explain {
namespace {

constexpr std::string_view kPlainText = "text";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr char kOpeningSeparator = '|';
// Openings are compared over this many characters of the text, white space left out.
constexpr size_t kLongestOpening = 32;
// How much of the end is looked at for zeros: as much as the head, in one read.
constexpr uint64_t kZeroTail = kFileHeadCapacity;

struct TextKind {
  std::string key;
  std::vector<std::string> openings;  // lower-case
};

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::vector<TextKind> ParseKinds(std::string_view text) {
  std::vector<TextKind> kinds;
  ForEachTableRow<2>(text, [&](const auto& row) {
    TextKind kind{std::string(row[0]), {}};
    std::string_view openings = row[1];
    while (!openings.empty()) {
      const size_t end = openings.find(kOpeningSeparator);
      if (const std::string_view opening = openings.substr(0, end); !opening.empty()) {
        kind.openings.push_back(Lower(opening));
      }
      openings = end == std::string_view::npos ? std::string_view() : openings.substr(end + 1);
    }
    kinds.push_back(std::move(kind));
  });
  return kinds;
}

const std::vector<TextKind>& Kinds() {
  static const std::vector<TextKind> kinds = ParseKinds(std::string_view(
      reinterpret_cast<const char*>(kEmbeddedTextContent), kEmbeddedTextContentSize));
  return kinds;
}

// Text has no NUL and no control character but white space; bytes from 0x80 up are left to any
// multi-byte encoding.
bool IsText(std::span<const uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) {
    return b >= 0x20 ? b != 0x7F : (b == '\t' || b == '\n' || b == '\r' || b == '\f');
  });
}

bool AllZero(std::span<const uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

}  // namespace

std::string_view TextKindOf(std::span<const uint8_t> head) {
  if (head.empty() || !IsText(head)) return {};
  std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
  if (text.starts_with(kUtf8Mark)) text.remove_prefix(kUtf8Mark.size());
  // The opening without its white space, lower-cased, as the openings are written.
  std::string opened;
  for (size_t i = 0; i < text.size() && opened.size() < kLongestOpening; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (std::isspace(c) == 0) opened += static_cast<char>(std::tolower(c));
  }
  for (const TextKind& kind : Kinds()) {
    for (const std::string& opening : kind.openings) {
      if (opened.starts_with(opening)) return kind.key;
    }
  }
  return kPlainText;
}

std::optional<Reason> ExplainNotMedia(const FormatFamilies& families, std::u16string_view extension,
                                      int32_t ruleIndex, std::span<const uint8_t> head) {
  // Content a media rule decided (a playlist, subtitles: text too) is media, and content a
  // media family holds is for the container explainers to judge.
  const RuleTable& table = families.table();
  const bool mediaRule = ruleIndex >= 0 && ruleIndex < table.ruleCount &&
                         table.rules[ruleIndex]->kind == kRuleKindAudioVideo;
  if (mediaRule || families.ReadersOf(ruleIndex) != 0 || !families.NameSaysMedia(extension)) {
    return std::nullopt;
  }
  const std::string_view kind = TextKindOf(head);
  if (kind.empty()) return std::nullopt;
  Reason reason = Finding(ReasonCode::kNotMedia, DetailId::kNotMedia);
  reason.name = extension;
  reason.other = platform::Utf8ToUtf16(kind);
  return reason;
}

std::optional<Reason> ExplainZeroFilled(ExplainReader& reader) {
  const auto head = reader.head();
  const uint64_t size = reader.fileSize();
  if (head.empty() || !AllZero(head)) return std::nullopt;
  uint64_t looked = head.size();
  if (size > head.size()) {
    const uint64_t tailAt =
        std::max<uint64_t>(head.size(), size > kZeroTail ? size - kZeroTail : 0);
    std::span<const uint8_t> tail;
    if (!reader.View(tailAt, static_cast<size_t>(size - tailAt), &tail) || !AllZero(tail)) {
      return std::nullopt;
    }
    looked += tail.size();
  }
  return Finding(ReasonCode::kZeroFilled, DetailId::kZeroFilled, looked, size);
}

}  // namespace kindprobe::explain
