// Arbitrary bytes through what --check-rules does with a rule file: decoding (GBK, or UTF-8
// after a byte-order mark), the parse with the lint listening, the checks of the parsed table
// and the printed findings. No crash, no leak, no read outside the text; and listening to the
// parser never changes the table it builds.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "cli/rules/rule_check.h"
#include "diagnosis/rule_file.h"
#include "cli/rules/rule_listing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::u16string text;
  if (kindprobe::DecodeRuleText(bytes, &text)) {
    const auto diagnostics = kindprobe::cli::CheckRuleText(text);
    const std::string printed = kindprobe::cli::FormatRuleDiagnostics("fuzz", diagnostics);
    // Every finding names a line of the text.
    size_t lines = 1;
    for (char16_t c : text) lines += c == u'\n';
    for (const auto& d : diagnostics) {
      if (d.line == 0 || d.line > lines || d.message.empty()) __builtin_trap();
    }
    (void)printed;
    const auto quiet = kindprobe::RuleTableFromText(text);
    struct Deaf : kindprobe::RuleTextObserver {
      void OnLine(size_t, size_t, std::u16string_view, const kindprobe::FileTypeRule*) override {}
      void OnField(int32_t, std::u16string_view) override {}
      void OnPattern(int32_t, int32_t) override {}
      void OnNotice(const kindprobe::RuleTextNotice&) override {}
    } deaf;
    auto heard = std::make_unique<kindprobe::RuleTable>();
    kindprobe::LoadRuleTableFromText(*heard, text.c_str(), &deaf);
    if (kindprobe::cli::ListRules(*heard) != kindprobe::cli::ListRules(*quiet)) __builtin_trap();
  }
  return 0;
}
