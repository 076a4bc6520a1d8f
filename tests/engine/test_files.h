// The shipped rule table and real files in a private temporary directory, for the engine tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/rule_table.h"
#include "temp_dir.h"

namespace kindprobe::testing {

// Rules in the shipped rule text.
inline constexpr int32_t kShippedRuleCount = 45;

// A fresh table loaded from the shipped rule text through the one-time load, so checks never
// load it again; throws unless it holds exactly the shipped rules.
std::unique_ptr<RuleTable> ShippedTable();

using testsupport::TempDir;

// A path as the engine takes it.
std::u16string Utf16Path(const std::filesystem::path& path);

}  // namespace kindprobe::testing
