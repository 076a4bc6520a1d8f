// The MIME type of an answer (--mime-type, and "mime" in --json): the data of
// resources/mime_types.txt, resolved against the rule table in use.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/file_classifier.h"
#include "engine/rule_table.h"

namespace kindprobe::cli {

// The type of an answer the data does not name: a rule of one's own rule file, say.
inline constexpr std::string_view kUnknownMimeType = "application/octet-stream";

class MimeTypes {
 public:
  // The types `text` gives, for the rules of `table`.
  MimeTypes(const RuleTable& table, std::string_view text);
  // The shipped types, for `table`.
  static MimeTypes Shipped(const RuleTable& table);

  // The type of the rule that decided `result`, or else of its description (the answers no rule
  // gives); kUnknownMimeType when the data names neither.
  std::string_view Of(const CheckResult& result) const;
  // Whether the data gives rule `ruleIndex` a type of its own.
  bool HasRule(int32_t ruleIndex) const;

 private:
  std::vector<std::string> byRule_;  // empty: none
  std::unordered_map<std::u16string, std::string> byDescription_;
};

}  // namespace kindprobe::cli
