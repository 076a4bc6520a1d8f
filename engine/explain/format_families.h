// Which rules are one format family, and which container explainers read a family's content:
// the data of resources/format_families.txt, resolved against one rule table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/rule_table.h"

namespace kindprobe::explain {

// The container explainers, as the data names them.
enum class Container : uint8_t {
  kRiff,
  kIsoMedia,
  kMatroska,
  kFlv,
  kOgg,
  kMpegAudio,
  kMpegTs,
  kAsf
};
inline constexpr size_t kContainerCount = 8;
// The data's name of each container, in the enum's order.
inline constexpr std::string_view kContainerNames[kContainerCount] = {
    "riff", "iso-media", "matroska", "flv", "ogg", "mpeg-audio", "mpeg-ts", "asf"};

// A set of containers, one bit each.
using Containers = uint32_t;
constexpr Containers Bit(Container container) { return Containers{1} << static_cast<int>(container); }

class FormatFamilies {
 public:
  // The families `text` lists, for the rules of `table` (which must outlive this). Members that
  // no rule of the table answers to are left out, so a rule file of one's own simply has fewer.
  FormatFamilies(const RuleTable& table, std::string_view text);
  // The families shipped in the command, for `table`.
  static FormatFamilies Shipped(const RuleTable& table);

  const RuleTable& table() const { return table_; }
  // The explainers that may read content that rule `ruleIndex` decided; none for -1.
  Containers ReadersOf(int32_t ruleIndex) const;
  // Whether a name with `extension` (lower-cased, with its dot) and content that rule
  // `ruleIndex` decided are of one family.
  bool OneFamily(std::u16string_view extension, int32_t ruleIndex) const;
  // Whether a name with `extension` promises media: the first rule that lists it is an
  // audio/video rule or of a family an explainer reads, or, when no rule lists it, such a family
  // names it. A name a non-media rule lists first (".dat" of text) promises nothing.
  bool NameSaysMedia(std::u16string_view extension) const;

 private:
  struct Family {
    std::vector<int32_t> rules;
    std::vector<std::u16string> names;  // the rules' own extensions and the listed ones
    Containers readers = 0;
  };

  void AddRow(std::string_view content, std::string_view names, std::string_view readers);

  const RuleTable& table_;
  std::vector<Family> families_;
};

}  // namespace kindprobe::explain
