// What the rule text parser does with its input, for a reader who wants to know: the parser
// cuts, drops and refuses malformed input without a word, and an author checking a table needs
// to hear exactly what it did. The parser reports to an observer only when one is given, so an
// ordinary load pays one null test per event site.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kindprobe {

struct FileTypeRule;

// Field positions of a rule line; every field from the first pattern on is a pattern.
enum RuleField {
  kFieldExtensions = 0,
  kFieldKind = 1,
  kFieldDescription = 2,
  kFieldFirstPattern = 3
};

enum class RuleTextEvent {
  kLineCut,            // a line longer than the line buffer: the rest of it is dropped
  kRuleLimit,          // a rule line after the last rule the table can hold ends the parse
  kFieldCut,           // a field longer than the field buffer: the rest of it is dropped
  kExtensionCut,       // an extension longer than its buffer
  kExtensionIgnored,   // an extension beyond the most a rule can list
  kPatternTooShort,    // a pattern field shorter than the shortest accepted: refused
  kPatternLimit,       // a pattern field beyond the most a rule can hold: refused
  kItemCut,            // a pattern item longer than the item buffer
  kTestLimit,          // a group of four that starts when the pattern is full: ignored
  kMaskLength,         // a mask of the wrong length: the test tests all bits instead
  kValueLength,        // a value of the wrong length: the test is dropped
  kGroupUnfinished,    // the field ends before the group's value: no test from it
  kPatternWithoutTest  // a pattern field that yields no test at all: refused
};

// One event. Which members carry meaning depends on the event; the rest keep their defaults.
struct RuleTextNotice {
  RuleTextEvent event{};
  // The item concerned (the extension, the pattern field, the mask or value item), as the
  // parser holds it after any cut.
  std::u16string_view text;
  // For cuts: the length written in the text. For mask and value lengths: the digits given.
  uint64_t length = 0;
  // For mask and value lengths: the byte count of the test.
  uint32_t count = 0;
  // For tests: the group's position within its pattern field, from 0.
  int32_t group = -1;
};

class RuleTextObserver {
 public:
  virtual ~RuleTextObserver() = default;
  // Every line of the text, rule line or not: where it starts (in units from the start of the
  // text), its number and what the parser keeps of it. The number counts from 1 at every line
  // feed, as an editor does, although only CR LF ends a line for the parser: an author looks
  // the line up by it. `rule` is the rule the line becomes, or null when the line is skipped
  // (or ends the parse).
  virtual void OnLine(size_t offset, size_t number, std::u16string_view line,
                      const FileTypeRule* rule) = 0;
  // Every field of the current rule line, before it is read; `position` is a RuleField or,
  // from kFieldFirstPattern on, a pattern field.
  virtual void OnField(int32_t position, std::u16string_view field) = 0;
  // A pattern field the rule keeps, once it is read: it became the rule's pattern `index`.
  virtual void OnPattern(int32_t position, int32_t index) = 0;
  virtual void OnNotice(const RuleTextNotice& notice) = 0;
};

}  // namespace kindprobe
