// The signature rule table: its in-memory model, the rule text parser and the table's life.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/rule_storage.h"
#include "engine/rule_text_observer.h"
#include "platform/module_resource.h"
#include "platform/sync.h"

namespace kindprobe {

// Limits of the rule text format and of the table.
inline constexpr int32_t kMaxRules = 1024;
inline constexpr int32_t kMaxExtensions = 16;
inline constexpr int32_t kMaxPatterns = 64;
inline constexpr int32_t kMaxTestsPerPattern = 8;
// Buffer capacities in UTF-16 units, terminator included.
inline constexpr size_t kExtensionCapacity = 32;
inline constexpr size_t kDescriptionCapacity = 512;
inline constexpr size_t kLineCapacity = 2048;
inline constexpr size_t kFieldCapacity = 512;
inline constexpr size_t kPatternItemCapacity = 256;
// A pattern field shorter than this is refused.
inline constexpr size_t kShortestPatternField = 3;
// The rule text: lines of fields (extensions; kind; description; then one pattern per field),
// each list of items. A pattern's items come in groups of four, one byte test each.
inline constexpr char16_t kRuleLineSeparator[] = u"\r\n";
inline constexpr char16_t kRuleFieldSeparator[] = u";";
inline constexpr char16_t kRuleItemSeparator[] = u",";
enum TestItem { kItemOffset = 0, kItemCount = 1, kItemMask = 2, kItemValue = 3, kItemsPerTest = 4 };

// The offset written "-1": the test reads the last `count` bytes of the file.
inline constexpr uint64_t kTailOffset = UINT64_MAX;

enum RuleKind : uint32_t {
  kRuleKindAudioVideo = 1,
  kRuleKindOther = 2,
};

struct ByteTest {
  uint64_t offset = 0;
  uint32_t count = 0;
  std::unique_ptr<uint8_t[]> mask;   // count bytes; all 0xFF when the text gave none
  std::unique_ptr<uint8_t[]> value;  // count bytes; none when count is 0

  bool IsTail() const { return offset == kTailOffset; }
};

struct SignaturePattern {
  int32_t testCount = 0;
  std::array<std::unique_ptr<ByteTest>, kMaxTestsPerPattern> tests;
};

struct FileTypeRule {
  int32_t extensionCount = 0;
  // Each a buffer of kExtensionCapacity units, exactly as written (dot and case included).
  std::array<std::unique_ptr<char16_t[]>, kMaxExtensions> extensions;
  uint32_t kind = 0;
  int32_t patternCount = 0;
  std::array<std::unique_ptr<SignaturePattern>, kMaxPatterns> patterns;
  char16_t description[kDescriptionCapacity] = {};
};

// The table of rules in text order; a rule's index is its identity. Written while it is parsed
// and while it is freed, read-only in between.
struct RuleTable {
  std::array<std::unique_ptr<FileTypeRule>, kMaxRules> rules;
  int32_t ruleCount = 0;
  platform::ModuleHandle moduleInstance = nullptr;
  bool loaded = false;  // the one-time load has been started

  // Once-only load: checks that start together wait for the first one's load to finish, and
  // `ready` publishes the finished table to later checks without a lock.
  platform::Mutex loadLock;
  std::atomic<bool> ready{false};

  // Where the rules and everything in them come from (the records own them).
  RuleStorage storage;
};

// The one table of the process.
RuleTable& ProcessRuleTable();

// Life of a table. Reset runs at module attach (before any rule exists) and frees nothing.
void ResetRuleTable(RuleTable& table, platform::ModuleHandle module);
// Loads the table from the module's rule text the first time it is called after a reset, and
// never again, also when the load fails. Safe to call from any number of threads at once.
void EnsureRuleTableLoaded(RuleTable& table);
int LoadRuleTable(RuleTable& table);
int FreeRuleTable(RuleTable& table);
// The module's rule text, widened. False when the module has none or it cannot be widened.
bool ReadModuleRuleText(platform::ModuleHandle module, std::u16string* text);
// Makes `table` the table of `text` instead of the module's: it is emptied, parsed from `text`
// and counts as loaded, so EnsureRuleTableLoaded never replaces it. Returns ParseRuleText's result.
int LoadRuleTableFromText(RuleTable& table, const char16_t* text,
                          RuleTextObserver* observer = nullptr);

// The parser, level by level. Each returns nonzero for success, 0 for failure. What a level
// builds comes from `storage`, the storage of the table the rule belongs to. An observer, when
// given, hears of every line and field and of everything the parser cuts, drops or refuses.
int ParseRuleText(RuleTable& table, const char16_t* text, RuleTextObserver* observer = nullptr);
int ParseRuleLine(RuleStorage& storage, FileTypeRule& rule, const char16_t* line,
                  RuleTextObserver* observer = nullptr);
int ParseExtensionList(RuleStorage& storage, FileTypeRule& rule, const char16_t* field,
                       RuleTextObserver* observer = nullptr);
int ParsePattern(RuleStorage& storage, FileTypeRule& rule, const char16_t* field,
                 RuleTextObserver* observer = nullptr);

// Splits off the item at *cursor up to the whole `separator` string, copies it into `out`
// (cut to capacity - 1 units and terminated) and advances *cursor past the separator.
int NextToken(const char16_t** cursor, const char16_t* separator, char16_t* out,
              size_t capacity);

// length/2 bytes from pairs of hex digits, read like strtoul(pair, 16); none when length < 2.
std::unique_ptr<uint8_t[]> HexToBytes(RuleStorage& storage, const char16_t* text, size_t length);

}  // namespace kindprobe
