#include "cli/description_language.h"

#include <cstddef>
#include <string>
#include <unordered_map>

#include "platform/utf.h"

extern const unsigned char kEmbeddedEnglishDescriptions[];
extern const std::size_t kEmbeddedEnglishDescriptionsSize;

namespace kindprobe::cli {
namespace {

using EnglishTable = std::unordered_map<std::u16string, std::u16string>;

// Lines "CHINESE<TAB>ENGLISH"; blank lines, "#" comments and lines without a tab are skipped.
EnglishTable ParseTable(std::string_view text) {
  EnglishTable table;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t tab = line.find('\t');
    if (line.empty() || line.front() == '#' || tab == std::string_view::npos) continue;
    table.emplace(platform::Utf8ToUtf16(line.substr(0, tab)),
                  platform::Utf8ToUtf16(line.substr(tab + 1)));
  }
  return table;
}

const EnglishTable& English() {
  static const EnglishTable table =
      ParseTable({reinterpret_cast<const char*>(kEmbeddedEnglishDescriptions),
                  kEmbeddedEnglishDescriptionsSize});
  return table;
}

}  // namespace

std::u16string_view DescriptionIn(Language language, std::u16string_view description) {
  if (language == Language::kChinese) return description;
  const EnglishTable& table = English();
  const auto found = table.find(std::u16string(description));
  return found == table.end() ? description : std::u16string_view(found->second);
}

bool HasEnglishDescription(std::u16string_view description) {
  return English().count(std::u16string(description)) != 0;
}

}  // namespace kindprobe::cli
