// The reasons of --explain in words, from the message table compiled into the command.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "diagnosis/language.h"
#include "engine/explain/reason.h"
#include "engine/explain/stream.h"

namespace kindprobe {

struct ReasonLine {
  std::string_view code;  // "truncated", "renamed", ...
  std::u16string detail;
};

// The table's key for a detail ("riff-size", ...).
std::string_view DetailKey(explain::DetailId detail);

// The detail of `reason` in `language`, its fields put in; the key itself when the table has
// no text for it.
std::u16string DetailText(const explain::Reason& reason, Language language);

std::vector<ReasonLine> ReasonLines(const explain::Reasons& reasons, Language language);

// A stream of --explain in words.
struct StreamLine {
  std::string_view kind;    // "video", "audio", "subtitle", "other"
  std::u16string kindText;  // the kind in the language of the output
  std::u16string codec;     // the codec's name in that language
  std::string tag;          // the container's own identifier
};

std::vector<StreamLine> StreamLines(const explain::Streams& streams, Language language);

}  // namespace kindprobe
