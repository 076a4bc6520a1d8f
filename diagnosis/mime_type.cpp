#include "diagnosis/mime_type.h"

#include "engine/rule_reference.h"
#include "engine/tab_table.h"
#include "platform/utf.h"

extern const unsigned char kEmbeddedMimeTypes[];
extern const std::size_t kEmbeddedMimeTypesSize;

namespace kindprobe::cli {

MimeTypes::MimeTypes(const RuleTable& table, std::string_view text)
    : byRule_(static_cast<size_t>(table.ruleCount)) {
  ForEachTableRow<2>(text, [&](const auto& row) {
    for (const int32_t r : RulesReferredTo(table, row[0])) byRule_[r] = row[1];
    // A narrowed answer names one rule, never a description of its own.
    if (row[0].find('@') == std::string_view::npos) {
      byDescription_.emplace(platform::Utf8ToUtf16(row[0]), row[1]);
    }
  });
}

MimeTypes MimeTypes::Shipped(const RuleTable& table) {
  return MimeTypes(table,
                   {reinterpret_cast<const char*>(kEmbeddedMimeTypes), kEmbeddedMimeTypesSize});
}

std::string_view MimeTypes::Of(const CheckResult& result) const {
  if (HasRule(result.ruleIndex)) return byRule_[result.ruleIndex];
  const auto found = byDescription_.find(result.description);
  return found != byDescription_.end() ? std::string_view(found->second) : kUnknownMimeType;
}

bool MimeTypes::HasRule(int32_t ruleIndex) const {
  return ruleIndex >= 0 && static_cast<size_t>(ruleIndex) < byRule_.size() &&
         !byRule_[ruleIndex].empty();
}

}  // namespace kindprobe::cli
