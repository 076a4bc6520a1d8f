#include "test_files.h"

#include <stdexcept>
#include <string>

#include "platform/utf.h"

namespace kindprobe::testing {

std::unique_ptr<RuleTable> ShippedTable() {
  auto table = std::make_unique<RuleTable>();
  ResetRuleTable(*table, nullptr);
  EnsureRuleTableLoaded(*table);
  if (table->ruleCount != kShippedRuleCount) {
    throw std::runtime_error("the shipped rule text did not load as " +
                             std::to_string(kShippedRuleCount) + " rules");
  }
  return table;
}

std::u16string Utf16Path(const std::filesystem::path& path) {
  return platform::Utf8ToUtf16(path.native());
}

}  // namespace kindprobe::testing
