#include "test_files.h"

#include <stdexcept>

#include "platform/gbk_text.h"
#include "platform/module_resource.h"
#include "platform/utf.h"

namespace kindprobe::testing {

std::unique_ptr<RuleTable> ShippedTable() {
  auto table = std::make_unique<RuleTable>();
  std::u16string text;
  if (!platform::WidenGbk(platform::RuleTextResource(nullptr), &text)) {
    throw std::runtime_error("the shipped rule text does not widen");
  }
  ParseRuleText(*table, text.c_str());
  return table;
}

std::u16string Utf16Path(const std::filesystem::path& path) {
  return platform::Utf8ToUtf16(path.native());
}

}  // namespace kindprobe::testing
