// --explain: why a file that was classified may still not play.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "engine/explain/format_families.h"
#include "engine/explain/reader.h"
#include "engine/explain/reason.h"
#include "engine/explain/stream.h"
#include "engine/file_classifier.h"
#include "engine/rule_table.h"

namespace kindprobe::explain {

inline constexpr Containers kAllContainers = (Containers{1} << kContainerCount) - 1;

// What the container's own bookkeeping says: at most one reason of each code, and the streams
// its headers name, from the one explainer among `readers` whose container the head shows.
Explanation ExplainContainer(ExplainReader& reader, Containers readers = kAllContainers);

// `renamed` when the name's extension belongs to one rule and a different rule, of another
// description and another format family, decided by the content. `extension` is as the
// classifier took it (lower-cased, with its dot); `ruleIndex` is the deciding rule (-1: none).
std::optional<Reason> ExplainName(const FormatFamilies& families, std::u16string_view extension,
                                  int32_t ruleIndex);

// `not-media`: the name's extension says media (a family an explainer reads lists it), but the
// head is text and no media family holds the content. `other` is the kind of text, as
// resources/text_content.txt names it ("html", "json", "xml", "text").
std::optional<Reason> ExplainNotMedia(const FormatFamilies& families, std::u16string_view extension,
                                      int32_t ruleIndex, std::span<const uint8_t> head);
// The kind of text `head` holds, as above; empty when it is not text.
std::string_view TextKindOf(std::span<const uint8_t> head);

// `zero-filled`: the head and the last bytes (one read) are all zero.
std::optional<Reason> ExplainZeroFilled(ExplainReader& reader);

// Why `path` may not play, from what its check read and the rule that decided it (-1: none):
// the reasons of its families' containers first, then the name's (`not-media` in place of
// `renamed` when the content is text), then `zero-filled`; and the streams the container's
// headers name. A file that was not read has none.
Explanation ExplainFile(const FormatFamilies& families, const char16_t* path, ReadFile& read,
                    int32_t ruleIndex);

}  // namespace kindprobe::explain
