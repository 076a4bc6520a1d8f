// A rule table that an author hands in as a file, in place of the one the module carries.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "engine/rule_table.h"

namespace kindprobe {

// A rule file larger than this is refused rather than read into memory: a table holds at most
// 1024 lines of 2047 characters, and what lies beyond is comments.
inline constexpr size_t kMaxRuleFileBytes = 16 * 1024 * 1024;

// The text of a rule file's bytes: GBK like the shipped table, or UTF-8 when the bytes begin
// with a UTF-8 byte-order mark (which is not part of the text). False when the bytes are not
// GBK that can be read (a UTF-16 file among them).
bool DecodeRuleText(std::string_view bytes, std::u16string* text);

// Reads and decodes the rule file at `path`. On failure `error` says why, in a few words, and
// `errorNumber` (when given) as an errno value: the one of opening or reading, EFBIG for a file
// too large, EILSEQ for one that is not GBK.
bool ReadRuleFile(const std::u16string& path, std::u16string* text, std::string* error,
                  int* errorNumber = nullptr);

// The table parsed from `text`, by the same parser as the module's own.
std::unique_ptr<RuleTable> RuleTableFromText(const std::u16string& text);

}  // namespace kindprobe
