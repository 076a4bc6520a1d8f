// The shipped rule table and real files in a private temporary directory, for the engine tests.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "engine/rule_table.h"
#include "temp_dir.h"

namespace kindprobe::testing {

// A fresh table parsed from the shipped rule text.
std::unique_ptr<RuleTable> ShippedTable();

using testsupport::TempDir;

// A path as the engine takes it.
std::u16string Utf16Path(const std::filesystem::path& path);

}  // namespace kindprobe::testing
