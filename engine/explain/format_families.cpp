#include "engine/explain/format_families.h"

#include <algorithm>

#include "engine/rule_reference.h"
#include "engine/signature_match.h"
#include "engine/tab_table.h"
#include "platform/utf.h"

extern const unsigned char kEmbeddedFormatFamilies[];
extern const std::size_t kEmbeddedFormatFamiliesSize;

namespace kindprobe::explain {
namespace {

constexpr std::string_view kNone = "-";
constexpr char kMemberSeparator = '|';

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
    for (const int32_t r : RulesReferredTo(table_, member)) {
      family.rules.push_back(r);
      const FileTypeRule& rule = *table_.rules[r];
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
