#include <algorithm>
#include <limits>
#include <new>
#include <string>

#include "platform/text_routines.h"
#include "registration/script_steps.h"

namespace kindprobe::registration::script {
namespace {

// The expanded text's ceiling in units, its NUL included: a longer text answers E_OUTOFMEMORY,
// as its allocation would, and never reaches the string's own length error.
constexpr std::size_t kMaxExpandedUnits = std::numeric_limits<std::size_t>::max() / 4;

HResult Append(std::u16string* expanded, const char16_t* units, std::size_t count) {
  const std::size_t ceiling = std::min(kMaxExpandedUnits - 1, expanded->max_size());
  if (count > ceiling - expanded->size()) return hr::kOutOfMemory;
  try {
    expanded->append(units, count);
  } catch (const std::bad_alloc&) {
    return hr::kOutOfMemory;
  }
  return hr::kOk;
}

}  // namespace

HResult ExpandReplacements(const ScriptRegistrar& registrar, const char16_t* text,
                           std::u16string* expanded) {
  if (text == nullptr) return hr::kPointer;
  const std::size_t scriptLength = std::char_traits<char16_t>::length(text);
  if (scriptLength > kMaxExpandedUnits / 2) return hr::kOutOfMemory;
  expanded->clear();
  try {
    expanded->reserve(scriptLength);  // most of a script is copied as it stands
  } catch (const std::bad_alloc&) {
    return hr::kOutOfMemory;
  }
  const char16_t* position = text;
  while (*position != 0) {
    if (*position != kPercent) {
      const char16_t* next = platform::NextCharacter(position);
      KINDPROBE_RETURN_IF_FAILED(Append(expanded, position, next - position));
      position = next;
      continue;
    }
    if (position[1] == kPercent) {  // "%%" stands for one percent sign
      KINDPROBE_RETURN_IF_FAILED(Append(expanded, position, 1));
      position += 2;
      continue;
    }
    const char16_t* name = position + 1;
    const char16_t* close = name;
    while (*close != 0 && *close != kPercent) ++close;
    if (*close == 0) return hr::kDispException;
    const auto nameLength = static_cast<std::size_t>(close - name);
    if (nameLength > kMaxReferenceNameLength) return hr::kFail;
    char16_t nameBuffer[kMaxReferenceNameLength + 1];
    std::copy(name, close, nameBuffer);
    nameBuffer[nameLength] = 0;
    const char16_t* value = registrar.FindReplacement(nameBuffer);
    if (value == nullptr) return hr::kDispException;
    KINDPROBE_RETURN_IF_FAILED(Append(expanded, value, std::char_traits<char16_t>::length(value)));
    position = close + 1;
  }
  return hr::kOk;
}

}  // namespace kindprobe::registration::script
