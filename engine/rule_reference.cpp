#include "engine/rule_reference.h"

#include <algorithm>
#include <optional>
#include <string>

#include "platform/hex.h"
#include "platform/utf.h"

namespace kindprobe {
namespace {

constexpr char kNarrowing = '@';

// "0000FE" as bytes; none when the text is not whole pairs of hex digits.
std::optional<std::vector<uint8_t>> HexBytes(std::string_view hex) {
  if (hex.empty() || hex.size() % 2 != 0) return std::nullopt;
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = platform::HexDigitValue(static_cast<unsigned char>(hex[i]));
    const int low = platform::HexDigitValue(static_cast<unsigned char>(hex[i + 1]));
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  return bytes;
}

// Whether the rule's first byte test looks for exactly `bytes`.
bool FirstTestIs(const FileTypeRule& rule, const std::vector<uint8_t>& bytes) {
  if (rule.patternCount == 0 || rule.patterns[0]->testCount == 0) return false;
  const ByteTest& test = *rule.patterns[0]->tests[0];
  return test.count == bytes.size() && test.value != nullptr &&
         std::equal(bytes.begin(), bytes.end(), test.value.get());
}

}  // namespace

std::vector<int32_t> RulesReferredTo(const RuleTable& table, std::string_view reference) {
  std::vector<int32_t> rules;
  const size_t at = reference.find(kNarrowing);
  const std::u16string description = platform::Utf8ToUtf16(reference.substr(0, at));
  std::optional<std::vector<uint8_t>> firstTest;
  if (at != std::string_view::npos) {
    firstTest = HexBytes(reference.substr(at + 1));
    if (!firstTest) return rules;
  }
  for (int32_t r = 0; r < table.ruleCount; ++r) {
    const FileTypeRule& rule = *table.rules[r];
    if (rule.description == description && (!firstTest || FirstTestIs(rule, *firstTest))) {
      rules.push_back(r);
    }
  }
  return rules;
}

}  // namespace kindprobe
