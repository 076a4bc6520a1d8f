#include "engine/rule_text_numbers.h"

namespace kindprobe::rule_text {
namespace {

bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

int DigitValue(char16_t c, unsigned base) {
  int value = -1;
  if (c >= u'0' && c <= u'9') value = c - u'0';
  else if (c >= u'a' && c <= u'z') value = c - u'a' + 10;
  else if (c >= u'A' && c <= u'Z') value = c - u'A' + 10;
  return value >= 0 && static_cast<unsigned>(value) < base ? value : -1;
}

// strtoul/strtoull over [text, end) (end null: up to the terminator), for a result type of
// `maximum`.
uint64_t ReadUnsigned(const char16_t* text, const char16_t* end, unsigned base,
                      uint64_t maximum) {
  auto more = [&](const char16_t* p) { return end ? p < end : *p != u'\0'; };
  const char16_t* p = text;
  while (more(p) && IsSpace(*p)) ++p;
  bool negative = false;
  if (more(p) && (*p == u'+' || *p == u'-')) negative = *p++ == u'-';
  if (base == 16 && more(p) && *p == u'0' && more(p + 1) && (p[1] == u'x' || p[1] == u'X') &&
      more(p + 2) && DigitValue(p[2], 16) >= 0) {
    p += 2;
  }
  uint64_t value = 0;
  bool overflow = false;
  for (; more(p); ++p) {
    const int digit = DigitValue(*p, base);
    if (digit < 0) break;
    if (value > (maximum - static_cast<uint64_t>(digit)) / base) overflow = true;
    else value = value * base + static_cast<uint64_t>(digit);
  }
  if (overflow) return maximum;
  return negative ? (0 - value) & maximum : value;
}

}  // namespace

uint64_t ReadUnsigned64(const char16_t* text) { return ReadUnsigned(text, nullptr, 10, UINT64_MAX); }

uint32_t ReadUnsigned32(const char16_t* text) {
  return static_cast<uint32_t>(ReadUnsigned(text, nullptr, 10, UINT32_MAX));
}

uint8_t ReadHexPair(char16_t first, char16_t second) {
  // Two hex digits is what every well-formed pair holds; only other pairs need the full rules.
  const int high = DigitValue(first, 16);
  const int low = DigitValue(second, 16);
  if (high >= 0 && low >= 0) return static_cast<uint8_t>(high << 4 | low);
  const char16_t pair[2] = {first, second};
  return static_cast<uint8_t>(ReadUnsigned(pair, pair + 2, 16, UINT32_MAX) & 0xFF);
}

}  // namespace kindprobe::rule_text
