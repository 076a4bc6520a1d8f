// Real files in a private temporary directory, removed with it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "engine/rule_table.h"

namespace kindprobe::testing {

// Rules in the shipped rule text.
inline constexpr int32_t kShippedRuleCount = 45;

// A fresh table loaded from the shipped rule text through the one-time load, so checks never
// load it again; throws unless it holds exactly the shipped rules.
std::unique_ptr<RuleTable> ShippedTable();

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes `bytes` to `name` (relative to the directory, parents created) and returns the path.
  std::filesystem::path Write(std::string_view name, std::string_view bytes) const;
  // The path as the engine takes it.
  static std::u16string Utf16(const std::filesystem::path& path);

 private:
  std::filesystem::path path_;
};

}  // namespace kindprobe::testing
