// The string routines the interpreter uses in place of the Windows ones.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/text_routines.h"

namespace kindprobe::platform {
namespace {

TEST(TextRoutines, CompareNoCaseFoldsLettersBeyondAscii) {
  EXPECT_EQ(CompareNoCase(u"ForceRemove", u"FORCEREMOVE"), 0);
  EXPECT_EQ(CompareNoCase(u"\u00E4\u00F8\u0434\u03C9\u0107", u"\u00C4\u00D8\u0414\u03A9\u0106"), 0);
  EXPECT_NE(CompareNoCase(u"Val", u"Value"), 0);
  EXPECT_NE(CompareNoCase(u"a", u"b"), 0);
  EXPECT_NE(CompareNoCase(u"HKCU", u"HKCU "), 0);
}

#ifndef _WIN32
// The stand-ins' own choices; on Windows the system routines decide.

TEST(TextRoutines, NextCharacterStepsOverSurrogatePairsWhole) {
  const char16_t text[] = u"a\U0001F600\xD800z\xDC00";
  const char16_t* p = text;
  EXPECT_EQ(NextCharacter(p), text + 1);
  EXPECT_EQ(NextCharacter(text + 1), text + 3);  // the pair
  EXPECT_EQ(NextCharacter(text + 3), text + 4);  // a lone high surrogate
  EXPECT_EQ(NextCharacter(text + 5), text + 6);  // a lone low surrogate
  EXPECT_EQ(NextCharacter(text + 6), text + 6);  // the NUL stays
  const char16_t cut[] = u"\xD800";
  EXPECT_EQ(NextCharacter(cut), cut + 1);
}

TEST(TextRoutines, NumbersAreUnsignedDecimalWithOptionalBlanksAndSign) {
  std::uint32_t value = 77;
  EXPECT_EQ(UInt32FromString(u"4294967295", &value), hr::kOk);
  EXPECT_EQ(value, 0xFFFFFFFFu);
  EXPECT_EQ(UInt32FromString(u" \t+0012 ", &value), hr::kOk);
  EXPECT_EQ(value, 12u);
  EXPECT_EQ(UInt32FromString(u"-0", &value), hr::kOk);
  EXPECT_EQ(value, 0u);
  value = 77;
  EXPECT_EQ(UInt32FromString(u"4294967296", &value), hr::kDispOverflow);
  EXPECT_EQ(UInt32FromString(u"99999999999999999999999", &value), hr::kDispOverflow);
  EXPECT_EQ(UInt32FromString(u"-1", &value), hr::kDispOverflow);
  EXPECT_EQ(UInt32FromString(u"", &value), hr::kDispTypeMismatch);
  EXPECT_EQ(UInt32FromString(u"12a", &value), hr::kDispTypeMismatch);
  EXPECT_EQ(UInt32FromString(u"0x10", &value), hr::kDispTypeMismatch);
  EXPECT_EQ(UInt32FromString(u"1 2", &value), hr::kDispTypeMismatch);
  EXPECT_EQ(UInt32FromString(u"+", &value), hr::kDispTypeMismatch);
  EXPECT_EQ(value, 77u);
}

#endif

}  // namespace
}  // namespace kindprobe::platform
