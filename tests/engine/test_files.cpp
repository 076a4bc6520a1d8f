#include "test_files.h"

#include <stdlib.h>

#include <fstream>
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

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kindprobe-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDir::Write(std::string_view name, std::string_view bytes) const {
  const std::filesystem::path file = path_ / std::filesystem::path(std::string(name));
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
  return file;
}

std::u16string TempDir::Utf16(const std::filesystem::path& path) {
  return platform::Utf8ToUtf16(path.native());
}

}  // namespace kindprobe::testing
