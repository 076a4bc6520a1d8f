#include "platform/text_routines.h"
#include "registration/script_steps.h"

namespace kindprobe::registration::script {
namespace {

// Appends the character [from, to) to the token, keeping room for the terminating NUL and one
// spare unit, so a token never exceeds kMaxTokenLength units.
bool StoreCharacter(TokenBuffer& token, std::size_t* length, const char16_t* from,
                    const char16_t* to) {
  const auto count = static_cast<std::size_t>(to - from);
  if (*length + count > kMaxTokenLength) return false;
  for (const char16_t* unit = from; unit != to; ++unit) token.units[(*length)++] = *unit;
  return true;
}

}  // namespace

bool IsBlank(char16_t unit) {
  return unit == u'\t' || unit == u'\n' || unit == u'\r' || unit == u' ';
}

void SkipBlanks(ScriptCursor& cursor) {
  while (IsBlank(*cursor.position)) cursor.position = platform::NextCharacter(cursor.position);
}

HResult ReadToken(ScriptCursor& cursor, TokenBuffer& token) {
  SkipBlanks(cursor);
  const char16_t* position = cursor.position;
  if (*position == 0) return hr::kDispException;
  std::size_t length = 0;
  if (*position == kQuote) {
    ++position;
    for (;;) {
      if (*position == 0) return hr::kDispException;
      if (*position == kQuote) {
        if (position[1] != kQuote) break;
        ++position;  // a doubled quote stands for one
      }
      const char16_t* next = platform::NextCharacter(position);
      if (!StoreCharacter(token, &length, position, next)) return hr::kDispException;
      position = next;
    }
    ++position;  // past the closing quote
  } else {
    while (*position != 0 && !IsBlank(*position)) {
      const char16_t* next = platform::NextCharacter(position);
      if (!StoreCharacter(token, &length, position, next)) return hr::kDispException;
      position = next;
    }
  }
  token.units[length] = 0;
  cursor.position = position;
  return hr::kOk;
}

}  // namespace kindprobe::registration::script
