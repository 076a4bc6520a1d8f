#include "engine/signature_match.h"

#include <cstring>
#include <string_view>

namespace kindprobe {
namespace {

// A stored test never exceeds 127 bytes; a hand-built one may not exceed this either.
constexpr uint32_t kCompareAreaSize = 256;

}  // namespace

bool SignatureMatcher::TestHolds(const ByteTest* test, platform::File* file) const {
  if (test == nullptr) return false;
  const uint32_t count = test->count;
  if (count == 0) return true;
  if (count > kCompareAreaSize || !test->mask || !test->value) return false;

  if (test->IsTail()) {
    // Bytes that cannot be read stay zero and unmasked, so a failed read is compared too.
    uint8_t area[kCompareAreaSize];
    std::memset(area, 0, count);
    uint32_t got = 0;
    if (file->SeekFromEnd(-static_cast<int64_t>(count)) && file->Read(area, count, &got) &&
        got == count) {
      for (uint32_t i = 0; i < count; ++i) area[i] &= test->mask[i];
    }
    return std::memcmp(area, test->value.get(), count) == 0;
  }

  // A head test that reaches past the bytes read does not hold: nothing outside the head is
  // looked at.
  const uint64_t headLength = head_.headLength;
  if (test->offset > headLength || count > headLength - test->offset) return false;
  const uint8_t* bytes = head_.data.get() + test->offset;
  for (uint32_t i = 0; i < count; ++i) {
    if ((bytes[i] & test->mask[i]) != test->value[i]) return false;
  }
  return true;
}

int SignatureMatcher::RuleMatchesFile(const FileTypeRule* rule, platform::File* file) const {
  if (rule == nullptr || file == nullptr || !file->IsOpen()) return 0;
  for (int32_t p = 0; p < rule->patternCount; ++p) {
    const SignaturePattern* pattern = rule->patterns[p].get();
    if (pattern == nullptr) continue;
    // The first test that fails settles the pattern; skipping the rest spares a tail read.
    int32_t t = 0;
    while (t < pattern->testCount && TestHolds(pattern->tests[t].get(), file)) ++t;
    if (t == pattern->testCount) return 1;
  }
  return 0;
}

int32_t FirstRuleListing(const RuleTable& table, std::u16string_view extension) {
  for (int32_t r = 0; r < table.ruleCount; ++r) {
    const FileTypeRule& rule = *table.rules[r];
    for (int32_t e = 0; e < rule.extensionCount; ++e) {
      if (extension == rule.extensions[e].get()) return r;
    }
  }
  return -1;
}

int SignatureMatcher::FindRuleByExtension(platform::File* file, const char16_t* extension,
                                          int32_t* ruleIndex) const {
  if (extension == nullptr || file == nullptr || !file->IsOpen()) return 0;
  // The first rule that lists the extension decides alone.
  const int32_t r = FirstRuleListing(table_, extension);
  if (r < 0 || !RuleMatchesFile(table_.rules[r].get(), file)) return 0;
  *ruleIndex = r;
  return 1;
}

int SignatureMatcher::FindMatchingRule(platform::File* file, int32_t* ruleIndex) const {
  if (file == nullptr || !file->IsOpen()) return 0;
  for (int32_t r = 0; r < table_.ruleCount; ++r) {
    if (RuleMatchesFile(table_.rules[r].get(), file)) {
      *ruleIndex = r;
      return 1;
    }
  }
  return 0;
}

}  // namespace kindprobe
