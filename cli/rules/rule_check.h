// The lint of a rule table (--check-rules): what the parser does with each line of the text,
// and what in the parsed table can never work as its author meant.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kindprobe::cli {

// The name under which findings in the embedded table are reported: the file it is built from.
inline constexpr char kEmbeddedRuleTextName[] = "resources/rules.txt";

struct RuleDiagnostic {
  size_t line = 0;      // from 1, counted as an editor counts lines (at every line feed)
  bool error = false;   // the rule cannot be used at all
  std::string message;  // UTF-8
};

// Every finding for `text`, in line order.
std::vector<RuleDiagnostic> CheckRuleText(const std::u16string& text);

// "FILE:LINE: warning: MESSAGE" lines, like a compiler's.
std::string FormatRuleDiagnostics(std::string_view fileName,
                                  const std::vector<RuleDiagnostic>& diagnostics);

}  // namespace kindprobe::cli
