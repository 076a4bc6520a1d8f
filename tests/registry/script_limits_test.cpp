// The interpreter's limits, each at its size and one past it.
#include <string>

#include "registration/script_steps.h"
#include "tests/registry/registry_fixture.h"

namespace kindprobe::regtest {
namespace {

using registration::script::kMaxKeyDepth;
using registration::script::kMaxTokenLength;
using registration::script::kMaxValueNameLength;

using ScriptLimits = RegistryTest;

TEST_P(ScriptLimits, TokensHoldUpTo4094Units) {
  const std::u16string longest(kMaxTokenLength, u'x');
  ASSERT_EQ(Register(u"K = s '" + longest + u"' { val bare = s " + longest + u" }"), hr::kOk);
  EXPECT_EQ(ValueAt(u"K", u""), Sz(longest));
  EXPECT_EQ(ValueAt(u"K", u"bare"), Sz(longest));

  const std::u16string too_long(kMaxTokenLength + 1, u'y');
  EXPECT_EQ(Register(u"L = s '" + too_long + u"'"), hr::kDispException);
  EXPECT_EQ(Register(u"L = s " + too_long), hr::kDispException);
  EXPECT_FALSE(ValueAt(u"L", u"").has_value());
}

TEST_P(ScriptLimits, ValueNamesHoldUpTo259Units) {
  const std::u16string longest(kMaxValueNameLength, u'n');
  ASSERT_EQ(Register(u"K { val " + longest + u" = s x }"), hr::kOk);
  EXPECT_EQ(ValueAt(u"K", longest), Sz(u"x"));

  const std::u16string too_long(kMaxValueNameLength + 1, u'm');
  EXPECT_EQ(Register(u"L { val " + too_long + u" = s x }"), hr::kDispException);
  // Refused, not cut to fit.
  EXPECT_FALSE(ValueAt(u"L", too_long.substr(0, kMaxValueNameLength)).has_value());
  EXPECT_EQ(Unregister(u"NoRemove K { val " + too_long + u" = s x }"), hr::kDispException);
  EXPECT_TRUE(ValueAt(u"K", longest).has_value());
}

// A chain of `levels` nested keys below the root key, the deepest without a block.
std::u16string Nested(int levels) {
  std::u16string text = u"HKCU {";
  for (int level = 1; level < levels; ++level) text += u" d {";
  text += u" d";
  for (int level = 0; level < levels; ++level) text += u" }";
  return text;
}

std::u16string NestedPath(int levels) {
  std::u16string path = u"d";
  for (int level = 1; level < levels; ++level) path += u"\\d";
  return path;
}

TEST_P(ScriptLimits, KeysNestUpTo512LevelsBelowTheirRoot) {
  if (!isolated()) GTEST_SKIP() << "the machine's registry has its own depth limit";
  ASSERT_EQ(Run(Nested(kMaxKeyDepth), true), hr::kOk);
  platform::ScopedRegKey deepest(registry());
  const std::u16string path = NestedPath(kMaxKeyDepth);
  EXPECT_EQ(registry().OpenKey(platform::kHkeyCurrentUser, path.c_str(), platform::kKeyRead,
                               deepest.receive()),
            platform::kErrorSuccess);
  deepest.Close();
  EXPECT_EQ(Run(Nested(kMaxKeyDepth), false), hr::kOk);
  EXPECT_NE(registry().OpenKey(platform::kHkeyCurrentUser, u"d", platform::kKeyRead,
                               deepest.receive()),
            platform::kErrorSuccess);

  EXPECT_EQ(Run(Nested(kMaxKeyDepth + 1), true), hr::kDispException);
  EXPECT_EQ(Run(Nested(kMaxKeyDepth + 1), false), hr::kDispException);
}

TEST_P(ScriptLimits, AMillionOpeningBracesFailWithoutExhaustingTheStack) {
  if (!isolated()) GTEST_SKIP() << "writes hundreds of levels below a root key";
  std::u16string text = u"HKCU ";
  for (int i = 0; i < 1000000; ++i) text += u"{ ";
  EXPECT_EQ(Run(text, true), hr::kDispException);
  EXPECT_EQ(Run(text, false), hr::kDispException);
  // Without blanks the braces make one long token, which is refused as such.
  EXPECT_EQ(Run(u"HKCU { " + std::u16string(1000000, u'{'), true), hr::kDispException);
}

// "NoRemove P { M { L { L ... { x } ... } Val keep = s 1 } }" in the scratch key, nested so
// that the block holding x is at key level `deepest`. P's entries (M) are at level 4.
std::u16string DeepBelowM(int deepest) {
  constexpr int kLevelOfMBlock = 5;
  std::u16string text = u"NoRemove P { M {";
  for (int level = kLevelOfMBlock; level < deepest; ++level) text += u" L {";
  text += u" x";
  for (int level = kLevelOfMBlock; level < deepest; ++level) text += u" }";
  return text + u" Val keep = s 1 } }";
}

TEST_P(ScriptLimits, ADepthRefusalBelowAMissingKeyIsNeverIgnored) {
  if (!isolated()) GTEST_SKIP() << "the machine's registry has its own depth limit";
  PutValue(u"P", u"keep", Sz(u"1"));
  // M is missing, so its block is only read through, keep included.
  EXPECT_EQ(Unregister(DeepBelowM(300)), hr::kOk);
  EXPECT_EQ(Unregister(DeepBelowM(kMaxKeyDepth)), hr::kOk);
  EXPECT_EQ(ValueAt(u"P", u"keep"), Sz(u"1"));
  // One level past the limit the refusal ends the pass: reading on after it would close M's
  // block one brace early and delete keep from P.
  EXPECT_EQ(Unregister(DeepBelowM(kMaxKeyDepth + 1)), hr::kDispException);
  EXPECT_EQ(ValueAt(u"P", u"keep"), Sz(u"1"));
  EXPECT_EQ(Unregister(DeepBelowM(kMaxKeyDepth + 2)), hr::kDispException);
  EXPECT_EQ(ValueAt(u"P", u"keep"), Sz(u"1"));
}

INSTANTIATE_TEST_SUITE_P(Registries, ScriptLimits, ::testing::ValuesIn(RegistryTargets()),
                         TargetName);

}  // namespace
}  // namespace kindprobe::regtest
