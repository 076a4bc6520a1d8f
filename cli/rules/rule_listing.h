// The parsed rule table in readable form (--rules).
#pragma once

#include <string>

#include "engine/rule_table.h"

namespace kindprobe::cli {

// One block per rule: its index, kind, extensions and description, then one line per pattern
// listing its byte tests. Ends with the rule and pattern counts.
std::string ListRules(const RuleTable& table);

// The table as rule text, UTF-8 after a byte-order mark with CR LF line ends, that the parser
// reads back into the same table: what it kept of each rule, nothing it dropped.
std::string RuleText(const RuleTable& table);

}  // namespace kindprobe::cli
