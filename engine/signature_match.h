// Whether the file under check carries the signature of a rule.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/rule_table.h"
#include "platform/file.h"

namespace kindprobe {

// The largest number of bytes read from the start of a file.
inline constexpr uint32_t kFileHeadCapacity = 4096;

// The first min(file size, 4096) bytes of the file under check.
struct FileHead {
  std::unique_ptr<uint8_t[]> data;
  uint32_t headLength = 0;
};

// The index of the first rule that lists `extension` (compared exactly: dot and case as
// written), or -1. That rule alone decides a file by its name.
int32_t FirstRuleListing(const RuleTable& table, std::u16string_view extension);

// Matches rules against one file: head tests read the FileHead, tail tests the open file.
// A null or closed file stands for the platform's invalid handle.
class SignatureMatcher {
 public:
  SignatureMatcher(const RuleTable& table, const FileHead& head) : table_(table), head_(head) {}

  int RuleMatchesFile(const FileTypeRule* rule, platform::File* file) const;
  // Only the first rule that lists `extension` decides; `ruleIndex` is written on a match only.
  int FindRuleByExtension(platform::File* file, const char16_t* extension,
                          int32_t* ruleIndex) const;
  // The first rule in table order that matches; `ruleIndex` is written on a match only.
  int FindMatchingRule(platform::File* file, int32_t* ruleIndex) const;

 private:
  bool TestHolds(const ByteTest* test, platform::File* file) const;

  const RuleTable& table_;
  const FileHead& head_;
};

}  // namespace kindprobe
