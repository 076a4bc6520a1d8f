// Token reading and the shape of a script: quoting, blanks, braces and root blocks.
#include <string>
#include <vector>

#include "registration/script_steps.h"
#include "tests/registry/registry_fixture.h"

namespace kindprobe::regtest {
namespace {

using registration::script::kMaxTokenLength;
using registration::script::ReadToken;
using registration::script::ScriptCursor;
using registration::script::TokenBuffer;

// Every token of `text`, or the failure that ended the reading.
struct Reading {
  std::vector<std::u16string> tokens;
  HResult end;
};

Reading ReadAll(const std::u16string& text) {
  Reading reading{{}, hr::kOk};
  ScriptCursor cursor{text.c_str(), nullptr};
  TokenBuffer token;
  while (true) {
    registration::script::SkipBlanks(cursor);
    if (*cursor.position == 0) return reading;
    reading.end = ReadToken(cursor, token);
    if (hr::Failed(reading.end)) return reading;
    reading.tokens.emplace_back(token.units);
  }
}

TEST(ScriptTokens, QuotesDoubleToStandForThemselves) {
  const Reading reading = ReadAll(u"'it''s' '' '''' 'a b\tc' x'y");
  EXPECT_EQ(reading.end, hr::kOk);
  EXPECT_EQ(reading.tokens,
            (std::vector<std::u16string>{u"it's", u"", u"'", u"a b\tc", u"x'y"}));
  EXPECT_EQ(ReadAll(u"'never closed").end, hr::kDispException);
  EXPECT_EQ(ReadAll(u"'ends on a doubled quote''").end, hr::kDispException);
}

TEST(ScriptTokens, OnlyTabLineFeedReturnAndSpaceSeparate) {
  const Reading reading = ReadAll(u"\t a\r\nb\vc\fd {e} =f");
  EXPECT_EQ(reading.tokens, (std::vector<std::u16string>{u"a", u"b\vc\fd", u"{e}", u"=f"}));
}

TEST(ScriptTokens, ATokenHoldsAtMost4094Units) {
  EXPECT_EQ(ReadAll(std::u16string(kMaxTokenLength, u'a')).end, hr::kOk);
  EXPECT_EQ(ReadAll(std::u16string(kMaxTokenLength + 1, u'a')).end, hr::kDispException);
  EXPECT_EQ(ReadAll(u"'" + std::u16string(kMaxTokenLength + 1, u'a') + u"'").end,
            hr::kDispException);
  // A surrogate pair is one character, copied whole: it fits only when both units do.
  const std::u16string pair = u"\U0001F600";
  EXPECT_EQ(ReadAll(std::u16string(kMaxTokenLength - 2, u'a') + pair).end, hr::kOk);
  EXPECT_EQ(ReadAll(std::u16string(kMaxTokenLength - 1, u'a') + pair).end, hr::kDispException);
}

TEST(ScriptTokens, SurrogatePairsAndLoneSurrogatesPassThrough) {
  const std::u16string text = u"\U0001F600x \xD800 '\xDC00'";
  const Reading reading = ReadAll(text);
  EXPECT_EQ(reading.end, hr::kOk);
  EXPECT_EQ(reading.tokens,
            (std::vector<std::u16string>{u"\U0001F600x", u"\xD800", u"\xDC00"}));
}

using ScriptShape = RegistryTest;

TEST_P(ScriptShape, EmptyTextSucceedsButBlanksAloneNeedARoot) {
  MakeKey(u"Existing");
  const std::string before = Tree();
  EXPECT_EQ(Run(u"", true), hr::kOk);
  EXPECT_EQ(Run(u"", false), hr::kOk);
  EXPECT_EQ(Tree(), before);
  EXPECT_EQ(Run(u" \t\r\n", true), hr::kDispException);
  EXPECT_EQ(Run(u" \t\r\n", false), hr::kDispException);
}

TEST_P(ScriptShape, RootBlocksNeedAKnownRootAndAnOpeningBrace) {
  EXPECT_EQ(Run(u"HKCU{ }", true), hr::kDispException);
  EXPECT_EQ(Run(u"HKXX { }", true), hr::kDispException);
  EXPECT_EQ(Run(u"HKCU Software", true), hr::kDispException);
  EXPECT_EQ(Run(u"HKCU", true), hr::kDispException);
  // The rest of the opening and closing tokens is ignored.
  EXPECT_EQ(Run(u"hkcu {ignored NoRemove Software { } }ignored", true), hr::kOk);
  EXPECT_EQ(Run(InScratch(u"Tail") + u"\r\n\r\n", true), hr::kOk);
  EXPECT_TRUE(KeyExists(u"Tail"));
}

TEST_P(ScriptShape, BracesAttachedToANameBelongToTheName) {
  // "Name{" is one key and "Child" its sibling, not its subkey.
  ASSERT_EQ(Register(u"Name{ Child"), hr::kOk);
  EXPECT_TRUE(KeyExists(u"Name{"));
  EXPECT_TRUE(KeyExists(u"Child"));
  EXPECT_FALSE(KeyExists(u"Name{\\Child"));
}

TEST_P(ScriptShape, AQuotedClosingBraceEndsABlock) {
  ASSERT_EQ(Register(u"K { Inner '}' Sibling"), hr::kOk);
  EXPECT_TRUE(KeyExists(u"K\\Inner"));
  EXPECT_TRUE(KeyExists(u"Sibling"));
  EXPECT_FALSE(KeyExists(u"K\\}"));
}

TEST_P(ScriptShape, KeywordsAndTypeLettersIgnoreCase) {
  MakeKey(u"Gone");
  ASSERT_EQ(Register(u"DELETE Gone noremove Kept { VAL v = S x } FORCEREMOVE F"), hr::kOk);
  EXPECT_FALSE(KeyExists(u"Gone"));
  EXPECT_EQ(ValueAt(u"Kept", u"v"), Sz(u"x"));
  ASSERT_EQ(Unregister(u"NOREMOVE Kept { vAl v = s x } f"), hr::kOk);
  EXPECT_TRUE(KeyExists(u"Kept"));
  EXPECT_FALSE(ValueAt(u"Kept", u"v").has_value());
  EXPECT_FALSE(KeyExists(u"F"));
}

TEST_P(ScriptShape, LongAndShortRootNamesNameTheSameRootInAnyCase) {
  if (!isolated()) GTEST_SKIP() << "writes below every predefined root";
  for (const auto& row : registration::script::kRootKeyTable) {
    for (std::u16string name : {row.abbreviation, row.full}) {
      for (size_t i = 0; i < name.size(); i += 2) {
        if (name[i] >= u'A' && name[i] <= u'Z') name[i] = static_cast<char16_t>(name[i] + 32);
      }
      ASSERT_EQ(Run(name + u" { 'Kindprobe root test' }", true), hr::kOk);
      platform::ScopedRegKey key(registry());
      EXPECT_EQ(registry().OpenKey(row.key, u"Kindprobe root test", platform::kKeyRead,
                                   key.receive()),
                platform::kErrorSuccess);
      key.Close();
      ASSERT_EQ(Run(name + u" { 'Kindprobe root test' }", false), hr::kOk);
    }
  }
  ASSERT_EQ(Run(u"hKlM { Shared }", true), hr::kOk);
  ASSERT_EQ(Run(u"HKEY_LOCAL_MACHINE { Shared }", false), hr::kOk);
  platform::ScopedRegKey key(registry());
  EXPECT_EQ(registry().OpenKey(platform::kHkeyLocalMachine, u"Shared", platform::kKeyRead,
                               key.receive()),
            platform::kErrorFileNotFound);
}

INSTANTIATE_TEST_SUITE_P(Registries, ScriptShape, ::testing::ValuesIn(RegistryTargets()),
                         TargetName);

}  // namespace
}  // namespace kindprobe::regtest
