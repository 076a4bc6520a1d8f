#include "engine/explain/format_families.h"

#include <algorithm>
#include <optional>

#include "engine/signature_match.h"
#include "engine/tab_table.h"
#include "platform/hex.h"
#include "platform/utf.h"

extern const unsigned char kEmbeddedFormatFamilies[];
extern const std::size_t kEmbeddedFormatFamiliesSize;

namespace kindprobe::explain {
namespace {

constexpr std::string_view kNone = "-";
constexpr char kMemberSeparator = '|';
constexpr char kNarrowing = '@';

// Calls `item` with each non-empty piece of `list` between `separator`s.
template <typename ItemFunction>
void ForEachItem(std::string_view list, char separator, ItemFunction&& item) {
  if (list == kNone) return;
  while (!list.empty()) {
    const size_t end = list.find(separator);
    if (const std::string_view piece = list.substr(0, end); !piece.empty()) item(piece);
    list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
  }
}

// "0000FE" as bytes; none when the text is not whole pairs of hex digits.
std::optional<std::vector<uint8_t>> HexBytes(std::string_view hex) {
  if (hex.empty() || hex.size() % 2 != 0) return std::nullopt;
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = platform::HexDigitValue(static_cast<unsigned char>(hex[i]));
    const int low = platform::HexDigitValue(static_cast<unsigned char>(hex[i + 1]));
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  return bytes;
}

// Whether the rule's first byte test looks for exactly `bytes`.
bool FirstTestIs(const FileTypeRule& rule, const std::vector<uint8_t>& bytes) {
  if (rule.patternCount == 0 || rule.patterns[0]->testCount == 0) return false;
  const ByteTest& test = *rule.patterns[0]->tests[0];
  return test.count == bytes.size() && test.value != nullptr &&
         std::equal(bytes.begin(), bytes.end(), test.value.get());
}

}  // namespace

FormatFamilies::FormatFamilies(const RuleTable& table, std::string_view text) : table_(table) {
  ForEachTableRow<4>(text, [&](const auto& row) { AddRow(row[1], row[2], row[3]); });
}

FormatFamilies FormatFamilies::Shipped(const RuleTable& table) {
  return FormatFamilies(table, {reinterpret_cast<const char*>(kEmbeddedFormatFamilies),
                                kEmbeddedFormatFamiliesSize});
}

void FormatFamilies::AddRow(std::string_view content, std::string_view names,
                            std::string_view readers) {
  Family family;
  ForEachItem(content, kMemberSeparator, [&](std::string_view member) {
    const size_t at = member.find(kNarrowing);
    const std::u16string description = platform::Utf8ToUtf16(member.substr(0, at));
    std::optional<std::vector<uint8_t>> firstTest;
    if (at != std::string_view::npos) {
      firstTest = HexBytes(member.substr(at + 1));
      if (!firstTest) return;
    }
    for (int32_t r = 0; r < table_.ruleCount; ++r) {
      const FileTypeRule& rule = *table_.rules[r];
      if (rule.description != description || (firstTest && !FirstTestIs(rule, *firstTest))) {
        continue;
      }
      family.rules.push_back(r);
      for (int32_t e = 0; e < rule.extensionCount; ++e) {
        family.names.emplace_back(rule.extensions[e].get());
      }
    }
  });
  ForEachItem(names, ' ', [&](std::string_view name) {
    family.names.push_back(platform::Utf8ToUtf16(name));
  });
  ForEachItem(readers, ' ', [&](std::string_view reader) {
    const auto* found = std::find(std::begin(kContainerNames), std::end(kContainerNames), reader);
    if (found != std::end(kContainerNames)) {
      family.readers |= Bit(static_cast<Container>(found - std::begin(kContainerNames)));
    }
  });
  if (!family.rules.empty()) families_.push_back(std::move(family));
}

Containers FormatFamilies::ReadersOf(int32_t ruleIndex) const {
  Containers readers = 0;
  for (const Family& family : families_) {
    if (std::find(family.rules.begin(), family.rules.end(), ruleIndex) != family.rules.end()) {
      readers |= family.readers;
    }
  }
  return readers;
}

bool FormatFamilies::OneFamily(std::u16string_view extension, int32_t ruleIndex) const {
  return std::any_of(families_.begin(), families_.end(), [&](const Family& family) {
    return std::find(family.rules.begin(), family.rules.end(), ruleIndex) != family.rules.end() &&
           std::find(family.names.begin(), family.names.end(), extension) != family.names.end();
  });
}

}  // namespace kindprobe::explain

namespace kindprobe::explain {

bool FormatFamilies::NameSaysMedia(std::u16string_view extension) const {
  if (extension.empty()) return false;
  const int32_t rule = FirstRuleListing(table_, extension);
  if (rule >= 0) return table_.rules[rule]->kind == kRuleKindAudioVideo || ReadersOf(rule) != 0;
  return std::any_of(families_.begin(), families_.end(), [&](const Family& family) {
    return family.readers != 0 &&
           std::find(family.names.begin(), family.names.end(), extension) != family.names.end();
  });
}

}  // namespace kindprobe::explain
