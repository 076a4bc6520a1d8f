#include "engine/rule_table.h"

#include <algorithm>
#include <memory>
#include <new>
#include <utility>
#include <string>
#include <string_view>

#include "engine/rule_text_numbers.h"
#include "platform/gbk_text.h"

namespace kindprobe {
namespace {

constexpr const char16_t* kLineSeparator = kRuleLineSeparator;
constexpr const char16_t* kFieldSeparator = kRuleFieldSeparator;
constexpr const char16_t* kItemSeparator = kRuleItemSeparator;

// The length the item just split off between `before` and `after` had in the text: the
// separator, when one ended it, is not part of it. An item cannot end in the whole separator
// (that would have been its first occurrence), so this is unambiguous.
size_t WrittenLength(const char16_t* before, const char16_t* after,
                     std::u16string_view separator) {
  const std::u16string_view taken(before, static_cast<size_t>(after - before));
  return taken.ends_with(separator) ? taken.size() - separator.size() : taken.size();
}

// Tells the observer of a cut, when the item split off between `before` and `after` did not
// fit its buffer. Kept out of line: the parse without an observer only tests for one.
[[gnu::noinline]] void ReportCut(RuleTextObserver* observer, RuleTextEvent event,
                                 const char16_t* kept, const char16_t* before,
                                 const char16_t* after, std::u16string_view separator,
                                 size_t capacity) {
  const size_t written = WrittenLength(before, after, separator);
  if (written < capacity) return;
  RuleTextNotice notice;
  notice.event = event;
  notice.text = kept;
  notice.length = written;
  observer->OnNotice(notice);
}

void Report(RuleTextObserver* observer, RuleTextEvent event, std::u16string_view text,
            int32_t group = -1, uint64_t length = 0, uint32_t count = 0) {
  if (observer == nullptr) return;
  RuleTextNotice notice;
  notice.event = event;
  notice.text = text;
  notice.group = group;
  notice.length = length;
  notice.count = count;
  observer->OnNotice(notice);
}

// Copies at most capacity - 1 units and terminates.
void CopyBounded(char16_t* out, size_t capacity, const char16_t* text, size_t length) {
  const size_t n = std::min(length, capacity - 1);
  std::copy_n(text, n, out);
  out[n] = u'\0';
}

}  // namespace

namespace {
// Constant-initialised, so usable from module attach, before any dynamic initialiser; at
// namespace scope, so no runtime guard (and its lock) comes with it.
constinit RuleTable processRuleTable;
}  // namespace

RuleTable& ProcessRuleTable() { return processRuleTable; }

int NextToken(const char16_t** cursor, const char16_t* separator, char16_t* out,
              size_t capacity) {
  if (cursor == nullptr || *cursor == nullptr || separator == nullptr || *separator == u'\0' ||
      out == nullptr || capacity < 2 || **cursor == u'\0') {
    return 0;
  }
  // One pass up to the separator or the end: the rest of the text is never measured, which
  // keeps splitting a whole text linear.
  const char16_t* const start = *cursor;
  const char16_t first = separator[0];
  const char16_t* p = start;
  size_t matched = 0;
  for (;; ++p) {
    while (*p != first && *p != u'\0') ++p;
    if (*p == u'\0') break;
    matched = 1;
    while (separator[matched] != u'\0' && p[matched] == separator[matched]) ++matched;
    if (separator[matched] == u'\0') break;
  }
  CopyBounded(out, capacity, start, static_cast<size_t>(p - start));
  *cursor = *p == u'\0' ? p : p + matched;
  return 1;
}

std::unique_ptr<uint8_t[]> HexToBytes(RuleStorage& storage, const char16_t* text, size_t length) {
  if (text == nullptr || length < 2) return {};
  auto bytes = storage.NewArray<uint8_t>(length / 2);
  if (!bytes) return {};
  for (size_t i = 0; i < length / 2; ++i) {
    bytes[i] = rule_text::ReadHexPair(text[2 * i], text[2 * i + 1]);
  }
  return bytes;
}

int ParseExtensionList(RuleStorage& storage, FileTypeRule& rule, const char16_t* field,
                       RuleTextObserver* observer) {
  char16_t item[kExtensionCapacity];
  for (const char16_t* before = field; NextToken(&field, kItemSeparator, item, kExtensionCapacity);
       before = field) {
    if (rule.extensionCount >= kMaxExtensions) {
      if (observer == nullptr) break;
      // Read on only to name every extension that is ignored.
      Report(observer, RuleTextEvent::kExtensionIgnored, item);
      continue;
    }
    if (observer != nullptr) {
      ReportCut(observer, RuleTextEvent::kExtensionCut, item, before, field, kItemSeparator,
                kExtensionCapacity);
    }
    auto extension = storage.NewArray<char16_t>(kExtensionCapacity);
    if (!extension) break;
    std::copy_n(item, std::char_traits<char16_t>::length(item) + 1, extension.get());
    rule.extensions[rule.extensionCount++] = std::move(extension);
  }
  return 1;
}

int ParsePattern(RuleStorage& storage, FileTypeRule& rule, const char16_t* field,
                 RuleTextObserver* observer) {
  if (field == nullptr) return 0;
  if (std::char_traits<char16_t>::length(field) < kShortestPatternField) {
    Report(observer, RuleTextEvent::kPatternTooShort, field);
    return 0;
  }
  if (rule.patternCount >= kMaxPatterns) {
    Report(observer, RuleTextEvent::kPatternLimit, field);
    return 0;
  }
  auto pattern = storage.New<SignaturePattern>();
  if (!pattern) return 0;

  char16_t item[kPatternItemCapacity];
  std::unique_ptr<ByteTest> test;  // the test of the current group, if it has one
  const char16_t* const fieldText = field;
  unsigned position = 0;
  for (const char16_t* before = field;
       NextToken(&field, kItemSeparator, item, kPatternItemCapacity); ++position, before = field) {
    const size_t length = std::char_traits<char16_t>::length(item);
    const int32_t group = static_cast<int32_t>(position / kItemsPerTest);
    if (observer != nullptr) {
      ReportCut(observer, RuleTextEvent::kItemCut, item, before, field, kItemSeparator,
                kPatternItemCapacity);
    }
    switch (position % kItemsPerTest) {
      case kItemOffset:
        test.reset();
        if (pattern->testCount < kMaxTestsPerPattern) {
          test = storage.New<ByteTest>();
          if (test) test->offset = rule_text::ReadUnsigned64(item);
        } else {
          Report(observer, RuleTextEvent::kTestLimit, item, group);
        }
        break;
      case kItemCount:
        if (test) test->count = rule_text::ReadUnsigned32(item);
        break;
      case kItemMask:
        // 64-bit arithmetic: a count of 2^31 or more never equals half an item's length.
        if (test && length != 0 && length == 2 * uint64_t{test->count}) {
          test->mask = HexToBytes(storage, item, length);
        } else if (test && length != 0) {
          Report(observer, RuleTextEvent::kMaskLength, item, group, length, test->count);
        }
        break;
      case kItemValue:
        if (!test) break;
        if (length == 2 * uint64_t{test->count}) {
          test->value = HexToBytes(storage, item, length);
          if (!test->mask && test->count > 0) {
            test->mask = storage.NewArray<uint8_t>(test->count);
            if (test->mask) std::fill_n(test->mask.get(), test->count, uint8_t{0xFF});
          }
          // A test whose bytes could not be allocated is left out.
          if (test->count == 0 || (test->value && test->mask)) {
            pattern->tests[pattern->testCount++] = std::move(test);
          }
        } else {
          Report(observer, RuleTextEvent::kValueLength, item, group, length, test->count);
        }
        test.reset();
        break;
    }
  }
  // A group that the field ends inside of never reaches its value.
  if (test) {
    Report(observer, RuleTextEvent::kGroupUnfinished, fieldText,
           static_cast<int32_t>(position / kItemsPerTest));
  }
  if (pattern->testCount == 0) {
    Report(observer, RuleTextEvent::kPatternWithoutTest, fieldText);
    return 0;
  }
  rule.patterns[rule.patternCount++] = std::move(pattern);
  return 1;
}

int ParseRuleLine(RuleStorage& storage, FileTypeRule& rule, const char16_t* line,
                  RuleTextObserver* observer) {
  if (line == nullptr) return 0;
  int result = 1;
  char16_t field[kFieldCapacity];
  const char16_t* before = line;
  for (int position = 0; NextToken(&line, kFieldSeparator, field, kFieldCapacity);
       ++position, before = line) {
    if (observer != nullptr) {
      observer->OnField(position, field);
      ReportCut(observer, RuleTextEvent::kFieldCut, field, before, line, kFieldSeparator,
                kFieldCapacity);
    }
    switch (position) {
      case kFieldExtensions:
        result &= ParseExtensionList(storage, rule, field, observer) != 0;
        break;
      case kFieldKind:
        rule.kind = rule_text::ReadUnsigned32(field);
        break;
      case kFieldDescription:
        CopyBounded(rule.description, kDescriptionCapacity, field, std::char_traits<char16_t>::length(field));
        break;
      default:
        if (ParsePattern(storage, rule, field, observer) == 0) {
          result = 0;
        } else if (observer != nullptr) {
          observer->OnPattern(position, rule.patternCount - 1);
        }
        break;
    }
  }
  return result;
}

int ParseRuleText(RuleTable& table, const char16_t* text, RuleTextObserver* observer) {
  if (text == nullptr) return 0;
  const char16_t* const start = text;
  int result = 0;
  char16_t line[kLineCapacity];
  const char16_t* lineStart = text;
  size_t number = 1;  // counted for an observer only
  for (; NextToken(&text, kLineSeparator, line, kLineCapacity); lineStart = text) {
    const bool isRuleLine = line[0] == u'.' || line[0] == u';';
    std::unique_ptr<FileTypeRule> rule;
    if (isRuleLine && table.ruleCount < kMaxRules) rule = table.storage.New<FileTypeRule>();
    if (observer != nullptr) {
      observer->OnLine(static_cast<size_t>(lineStart - start), number, line, rule.get());
      number += static_cast<size_t>(std::count(lineStart, text, u'\n'));
      if (isRuleLine && table.ruleCount >= kMaxRules) {
        Report(observer, RuleTextEvent::kRuleLimit, line);
      } else {
        ReportCut(observer, RuleTextEvent::kLineCut, line, lineStart, text, kLineSeparator,
                  kLineCapacity);
      }
    }
    if (!isRuleLine) continue;
    if (!rule) break;
    // The rule joins the table before its line is parsed: every rule line yields a rule.
    FileTypeRule& added = *(table.rules[table.ruleCount++] = std::move(rule));
    result |= ParseRuleLine(table.storage, added, line, observer);
  }
  return result;
}

bool ReadModuleRuleText(platform::ModuleHandle module, std::u16string* text) {
  const auto bytes = platform::RuleTextResource(module);
  return !bytes.empty() && platform::WidenGbk(bytes, text);
}

namespace {

void ReleaseRules(RuleTable& table) {
  for (auto& rule : table.rules) rule.reset();
  table.storage.Forget();
  table.ruleCount = 0;
}

}  // namespace

int LoadRuleTable(RuleTable& table) {
  std::u16string text;
  if (!ReadModuleRuleText(table.moduleInstance, &text)) return 0;
  const int result = ParseRuleText(table, text.c_str());
  // Memory that ran out part way leaves rules, or tests of a pattern, out; such a table would
  // answer wrongly (a pattern short of a test matches too much), so none is kept.
  if (table.storage.exhausted()) {
    ReleaseRules(table);
    return 0;
  }
  return result;
}

int LoadRuleTableFromText(RuleTable& table, const char16_t* text, RuleTextObserver* observer) {
  ResetRuleTable(table, nullptr);
  table.loaded = true;
  const int result = ParseRuleText(table, text, observer);
  table.ready.store(true, std::memory_order_release);
  return result;
}

void ResetRuleTable(RuleTable& table, platform::ModuleHandle module) {
  ReleaseRules(table);
  table.moduleInstance = module;
  table.loaded = false;
  table.ready.store(false, std::memory_order_relaxed);
}

void EnsureRuleTableLoaded(RuleTable& table) {
  if (table.ready.load(std::memory_order_acquire)) return;
  platform::LockGuard guard(table.loadLock);
  // Marked before the load: a load that fails is not tried again in this process.
  if (!table.loaded) {
    table.loaded = true;
    LoadRuleTable(table);
  }
  table.ready.store(true, std::memory_order_release);
}

int FreeRuleTable(RuleTable& table) {
  if (!table.loaded) return 1;
  table.loaded = false;
  table.ready.store(false, std::memory_order_relaxed);
  ReleaseRules(table);
  return 1;
}

}  // namespace kindprobe
