#include "platform/text_routines.h"
#include "registration/script_steps.h"

namespace kindprobe::registration::script {

bool IsKeyword(const char16_t* token, const char16_t* keyword) {
  return platform::CompareNoCase(token, keyword) == 0;
}

platform::RegKey RootKeyFromName(const char16_t* name) {
  for (const RootKeyRow& row : kRootKeyTable) {
    if (IsKeyword(name, row.abbreviation) || IsKeyword(name, row.full)) return row.key;
  }
  return platform::kNoKey;
}

const ValueTypeRow* ValueTypeFromLetter(const char16_t* letter) {
  for (const ValueTypeRow& row : kValueTypeTable) {
    if (IsKeyword(letter, row.letter)) return &row;
  }
  return nullptr;
}

bool IsRemovableKeyName(const char16_t* name) {
  // An empty name would stand for the parent key itself, never a key to wipe.
  if (*name == 0) return false;
  for (const char16_t* protectedName : kProtectedKeyNames) {
    if (IsKeyword(name, protectedName)) return false;
  }
  return true;
}

}  // namespace kindprobe::registration::script
