// How the data tables in resources/ name a rule of the table in use: by its description as the
// rule text gives it, narrowed, when unrelated rules share one ("Some Media"), by "@" and the
// hex of the rule's first byte test ("Some Media@000001B3").
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/rule_table.h"

namespace kindprobe {

// The rules of `table` that `reference` names, in table order; none for a malformed narrowing.
std::vector<int32_t> RulesReferredTo(const RuleTable& table, std::string_view reference);

}  // namespace kindprobe
