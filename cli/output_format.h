// One result as a line of output: text ("PATH: DESCRIPTION (TypeID N)") or a JSON object.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/options.h"

namespace kindprobe::cli {

struct Classification {
  int32_t typeId = 0;
  std::u16string_view description;
  int32_t ruleIndex = -1;  // -1: no rule decided
  std::string_view error;  // why the file could not be examined; empty when it was
};

// The stable name of a TypeID ("Unknown", "PlayerCache", ...); "Unknown" for any other number.
std::string_view TypeName(int32_t typeId);

// Appends the line for `path`, line end included, as UTF-8.
void AppendResultLine(OutputMode mode, std::u16string_view path, const Classification& result,
                      std::string* out);

// Appends `text` as the body of a JSON string. Undecodable name bytes (U+DC80..U+DCFF) and any
// other unpaired surrogate are written as a \uXXXX escape so that a reader gets them back;
// control characters, quote and backslash are escaped; the rest is plain UTF-8.
void AppendJsonString(std::u16string_view text, std::string* out);

}  // namespace kindprobe::cli
