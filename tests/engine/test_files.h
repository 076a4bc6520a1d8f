// Real files in a private temporary directory, removed with it.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "engine/rule_table.h"

namespace kindprobe::testing {

// A fresh table parsed from the shipped rule text.
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
