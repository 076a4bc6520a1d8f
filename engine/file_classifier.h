// What a file really is: the classification of one file into a TypeID and a description.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/rule_table.h"
#include "engine/signature_match.h"
#include "platform/file.h"

namespace kindprobe {

enum TypeID : int32_t {
  TypeIDUnknown = 0,
  TypeIDPlayerCache = 1,
  TypeIDNonMedia = 2,
  TypeIDZeroByte = 3,
  TypeIDInvalidMedia = 4,
};

// The stable name of a TypeID ("Unknown", "PlayerCache", ...), as the command's JSON and the C
// library hand it out; "Unknown" for any other number.
constexpr const char* TypeName(int32_t typeId) {
  constexpr const char* kNames[] = {"Unknown", "PlayerCache", "NonMedia", "ZeroByte",
                                    "InvalidMedia"};
  return typeId > TypeIDUnknown && typeId <= TypeIDInvalidMedia ? kNames[typeId] : kNames[0];
}

struct CheckResult {
  int32_t typeId = TypeIDUnknown;
  char16_t description[kDescriptionCapacity] = u"未知类型";
  // Beyond the result the player reads: the rule that decided (-1: none), and whether the file
  // could be opened at all.
  int32_t ruleIndex = -1;
  bool examined = false;

  void Reset();
};

// What a check read, handed back to a caller that looks further at the file once it is
// classified (why it may not play): the file, still open, its size (UINT64_MAX when it could
// not be had) and its head. Nothing is kept when the file was not read (not opened, empty).
struct ReadFile {
  platform::File file;
  uint64_t size = UINT64_MAX;
  FileHead head;

  bool kept() const { return head.data != nullptr; }
};

// Classifies files one at a time. Each classifier owns its head and result, so classifiers on
// different threads can check at the same time over the one read-only table.
class FileClassifier {
 public:
  explicit FileClassifier(RuleTable& table = ProcessRuleTable()) : table_(table) {}

  // Leaves the outcome in result(); never fails. `path` is NUL-terminated; null counts as empty.
  // With `read`, a file that was read is handed back there instead of being closed.
  void CheckFile(const char16_t* path, ReadFile* read = nullptr);
  // The same for a file its caller has opened (a file that is not open was not examined);
  // `path` names it, for the rules that look at the name.
  void CheckOpenFile(const char16_t* path, platform::File file, ReadFile* read = nullptr);
  const CheckResult& result() const { return result_; }

 private:
  void Classify(const char16_t* path, platform::File& file, ReadFile* read);
  void Decide(platform::File& file, const char16_t* path);
  void ApplyRule(int32_t ruleIndex);
  void SetResult(TypeID typeId, const char16_t* description);

  RuleTable& table_;
  FileHead head_;
  CheckResult result_;
};

// The extension of the last path component, with its dot, cut to 31 units, A-Z lower-cased.
// "\" and "/" both separate directories.
void GetFileExtension(const char16_t* path, char16_t (&extension)[kExtensionCapacity]);
// The description given to every file with `extension` before any rule is looked at (shortcuts
// and unfinished downloads, always TypeIDNonMedia), or null when the rules decide.
const char16_t* BuiltInExtensionAnswer(std::u16string_view extension);
// Whether `path` lies in the player's cache directory (StorePath + "\VODCache").
bool IsPlayerCacheFile(const char16_t* path);
// True when no byte of the head is below 8.
bool IsTextHead(const FileHead& head);
void TrimBlanks(char16_t* text);
void TrimTrailingSeparators(char16_t* text);

}  // namespace kindprobe
