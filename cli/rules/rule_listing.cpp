#include "cli/rules/rule_listing.h"

#include "cli/text/text_join.h"
#include "platform/utf.h"

namespace kindprobe::cli {
namespace {

void AppendHex(const uint8_t* bytes, uint32_t count, std::string* out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (uint32_t i = 0; i < count; ++i) {
    *out += kHex[bytes[i] >> 4];
    *out += kHex[bytes[i] & 0xF];
  }
}

bool IsFullMask(const ByteTest& test) {
  for (uint32_t i = 0; i < test.count; ++i) {
    if (test.mask[i] != 0xFF) return false;
  }
  return true;
}

void AppendTest(const ByteTest& test, std::string* out) {
  if (test.IsTail()) {
    *out += "end";
  } else {
    *out += '@';
    *out += std::to_string(test.offset);
  }
  *out += Join({" ", std::to_string(test.count), test.IsTail() ? " last" : "",
                test.count == 1 ? " byte" : " bytes"});
  if (test.count == 0 || !test.value) return;
  // A mask of all ones tests the bytes as they are: leave it out.
  if (test.mask && !IsFullMask(test)) {
    *out += " & ";
    AppendHex(test.mask.get(), test.count, out);
  }
  *out += " = ";
  AppendHex(test.value.get(), test.count, out);
}

// One byte test as its four items: offset ("-1" from the end), count, mask (none when all
// ones), value.
void AppendTestItems(const ByteTest& test, std::string* out) {
  const std::string item = platform::Utf16ToUtf8(kRuleItemSeparator);
  *out += test.IsTail() ? "-1" : std::to_string(test.offset);
  *out += item;
  *out += std::to_string(test.count);
  *out += item;
  if (test.count > 0 && test.mask && !IsFullMask(test)) AppendHex(test.mask.get(), test.count, out);
  *out += item;
  if (test.count > 0 && test.value) AppendHex(test.value.get(), test.count, out);
}

}  // namespace

std::string RuleText(const RuleTable& table) {
  const std::string field = platform::Utf16ToUtf8(kRuleFieldSeparator);
  const std::string item = platform::Utf16ToUtf8(kRuleItemSeparator);
  const std::string line = platform::Utf16ToUtf8(kRuleLineSeparator);
  std::string out = Join({"\xEF\xBB\xBF// ", std::to_string(table.ruleCount), " rules", line});
  for (int32_t r = 0; r < table.ruleCount; ++r) {
    const FileTypeRule& rule = *table.rules[r];
    for (int32_t e = 0; e < rule.extensionCount; ++e) {
      if (e > 0) out += item;
      out += platform::Utf16ToUtf8(rule.extensions[e].get());
    }
    out += Join({field, std::to_string(rule.kind), field, platform::Utf16ToUtf8(rule.description)});
    for (int32_t p = 0; p < rule.patternCount; ++p) {
      const SignaturePattern& pattern = *rule.patterns[p];
      out += field;
      for (int32_t t = 0; t < pattern.testCount; ++t) {
        if (t > 0) out += item;
        AppendTestItems(*pattern.tests[t], &out);
      }
    }
    out += line;
  }
  return out;
}

std::string ListRules(const RuleTable& table) {
  std::string out;
  int32_t patterns = 0;
  for (int32_t r = 0; r < table.ruleCount; ++r) {
    const FileTypeRule& rule = *table.rules[r];
    out += Join({"rule ", std::to_string(r), "  kind ", std::to_string(rule.kind), "  "});
    if (rule.extensionCount == 0) out += "(no extension)";
    for (int32_t e = 0; e < rule.extensionCount; ++e) {
      if (e > 0) out += ',';
      out += platform::Utf16ToUtf8(rule.extensions[e].get());
    }
    out += Join({"  \"", platform::Utf16ToUtf8(rule.description), "\"\n"});
    for (int32_t p = 0; p < rule.patternCount; ++p, ++patterns) {
      const SignaturePattern& pattern = *rule.patterns[p];
      out += Join({"  pattern ", std::to_string(p), ":"});
      for (int32_t t = 0; t < pattern.testCount; ++t) {
        out += t == 0 ? " " : "; ";
        AppendTest(*pattern.tests[t], &out);
      }
      out += '\n';
    }
  }
  out += Join({std::to_string(table.ruleCount), " rules, ", std::to_string(patterns), " patterns\n"});
  return out;
}

}  // namespace kindprobe::cli
