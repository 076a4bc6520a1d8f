// One result as a line of output: text ("PATH: DESCRIPTION (TypeID N)", or with -i "PATH: TYPE")
// or a JSON object.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "diagnosis/reason_text.h"

namespace kindprobe::cli {

struct Classification {
  int32_t typeId = 0;
  std::u16string_view description;
  int32_t ruleIndex = -1;  // -1: no rule decided
  std::string_view error;  // why the file could not be examined; empty when it was
  // With --explain: printed after the result, indented, or as the JSON array "reasons".
  const std::vector<ReasonLine>* reasons = nullptr;
  // With --explain: one indented "streams:" line when there are any, or the JSON array
  // "streams" (always, empty when none was read).
  const std::vector<StreamLine>* streams = nullptr;
  std::string_view mime;  // its MIME type; empty: left out
  bool mimeOnly = false;  // -i: the MIME type in place of the description and TypeID
};

// Appends the line for `path`, line end included, as UTF-8.
void AppendResultLine(OutputMode mode, std::u16string_view path, const Classification& result,
                      std::string* out);

// Appends the line for a path whose answer changes from `before` to `after` (--compare-rules):
// "PATH: OLD (TypeID N) -> NEW (TypeID M)", or in JSON {"path", "old": {...}, "new": {...}}
// with the keys of a result line.
void AppendChangeLine(OutputMode mode, std::u16string_view path, const Classification& before,
                      const Classification& after, std::string* out);

// Appends `text` as the body of a JSON string. Undecodable name bytes (U+DC80..U+DCFF) and any
// other unpaired surrogate are written as a \uXXXX escape so that a reader gets them back;
// control characters, quote and backslash are escaped; the rest is plain UTF-8.
void AppendJsonString(std::u16string_view text, std::string* out);

}  // namespace kindprobe::cli
