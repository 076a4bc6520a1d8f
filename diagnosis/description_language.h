// Descriptions in the language the user asked for. The engine answers in Chinese, as the
// component does; English comes from a table compiled in beside the rule text.
#pragma once

#include <string_view>

#include "diagnosis/language.h"

namespace kindprobe {

// `description` in `language`; unchanged for Chinese and for a description without an English
// text. The view stays valid for the life of the process or of `description`.
std::u16string_view DescriptionIn(Language language, std::u16string_view description);

// Whether the English table has a text for `description`.
bool HasEnglishDescription(std::u16string_view description);

}  // namespace kindprobe
