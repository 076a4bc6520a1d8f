#include "diagnosis/description_language.h"

#include <cstddef>
#include <string>
#include <unordered_map>

#include "engine/tab_table.h"
#include "platform/utf.h"

extern const unsigned char kEmbeddedEnglishDescriptions[];
extern const std::size_t kEmbeddedEnglishDescriptionsSize;

namespace kindprobe {
namespace {

using EnglishTable = std::unordered_map<std::u16string, std::u16string>;

// Rows "CHINESE<TAB>ENGLISH".
EnglishTable ParseTable(std::string_view text) {
  EnglishTable table;
  ForEachTableRow<2>(text, [&](const auto& row) {
    table.emplace(platform::Utf8ToUtf16(row[0]), platform::Utf8ToUtf16(row[1]));
  });
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

}  // namespace kindprobe
