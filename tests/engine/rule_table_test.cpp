// The rule text parser: splitting, numbers, limits and malformed input.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/rule_table.h"

namespace kindprobe {
namespace {

std::unique_ptr<RuleTable> Parse(const std::u16string& text, int* result = nullptr) {
  auto table = std::make_unique<RuleTable>();
  const int r = ParseRuleText(*table, text.c_str());
  if (result) *result = r;
  return table;
}

std::u16string Ext(const FileTypeRule& rule, int i) { return rule.extensions[i].get(); }

const ByteTest& TestAt(const FileTypeRule& rule, int pattern, int test) {
  return *rule.patterns[pattern]->tests[test];
}

std::u16string Repeat(std::u16string_view unit, size_t n) {
  std::u16string out;
  for (size_t i = 0; i < n; ++i) out += unit;
  return out;
}

TEST(NextToken, SplitsOnTheWholeSeparatorAndKeepsEmptyItems) {
  const char16_t* cursor = u"a,,b,";
  char16_t out[8];
  std::u16string items;
  int n = 0;
  while (NextToken(&cursor, u",", out, 8)) items += std::u16string(out) + u"|", ++n;
  EXPECT_EQ(items, u"a||b|");  // no empty item after the final separator
  EXPECT_EQ(n, 3);

  const char16_t* lines = u"one\ntwo\r\nthree";
  ASSERT_TRUE(NextToken(&lines, u"\r\n", out, 8));
  EXPECT_EQ(std::u16string(out), u"one\ntwo");  // a bare LF does not end a line
}

TEST(NextToken, CutsToCapacityAndDropsTheRest) {
  const char16_t* cursor = u"abcdefgh;next";
  char16_t out[4];
  ASSERT_TRUE(NextToken(&cursor, u";", out, 4));
  EXPECT_EQ(std::u16string(out), u"abc");
  ASSERT_TRUE(NextToken(&cursor, u";", out, 4));
  EXPECT_EQ(std::u16string(out), u"nex");
  EXPECT_FALSE(NextToken(&cursor, u";", out, 4));

  const char16_t* start = u"abc";
  EXPECT_FALSE(NextToken(&start, u";", out, 1));
  EXPECT_FALSE(NextToken(&start, u"", out, 4));
  EXPECT_FALSE(NextToken(nullptr, u";", out, 4));
  EXPECT_EQ(std::u16string(start), u"abc");  // refused calls do not move the cursor
}

TEST(HexToBytes, ReadsPairsLikeTheCLibrary) {
  RuleStorage storage;
  const char16_t* text = u"4D4dF G1-10x+7";
  auto bytes = HexToBytes(storage, text, 14);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes[0], 0x4D);
  EXPECT_EQ(bytes[1], 0x4D);
  EXPECT_EQ(bytes[2], 0x0F);  // "F " stops at the blank
  EXPECT_EQ(bytes[3], 0x00);  // "G1" has no leading digit
  EXPECT_EQ(bytes[4], 0xFF);  // "-1" negates modulo the type
  EXPECT_EQ(bytes[5], 0x00);  // "0x" without digits after it
  EXPECT_EQ(bytes[6], 0x07);
  EXPECT_FALSE(HexToBytes(storage, u"A", 1));
  EXPECT_FALSE(HexToBytes(storage, nullptr, 4));
  auto odd = HexToBytes(storage, u"ABC", 3);
  ASSERT_TRUE(odd);
  EXPECT_EQ(odd[0], 0xAB);
}

TEST(ParseRuleText, ReadsARuleWithoutExtensions) {
  int result = 0;
  auto table = Parse(u";1;Some Media;0,4,,3C53414d", &result);
  EXPECT_EQ(result, 1);
  ASSERT_EQ(table->ruleCount, 1);
  const FileTypeRule& rule = *table->rules[0];
  EXPECT_EQ(rule.extensionCount, 0);
  EXPECT_EQ(rule.kind, 1u);
  EXPECT_EQ(std::u16string(rule.description), u"Some Media");
  ASSERT_EQ(rule.patternCount, 1);
  ASSERT_EQ(rule.patterns[0]->testCount, 1);
  const ByteTest& test = TestAt(rule, 0, 0);
  EXPECT_EQ(test.offset, 0u);
  EXPECT_EQ(test.count, 4u);
  EXPECT_EQ(test.value[3], 0x4D);
  EXPECT_EQ(test.mask[0], 0xFF);
}

TEST(ParseRuleText, SkipsNonRuleLinesAndTreatsBareLineFeedsAsOneLine) {
  auto table = Parse(u"\r\n//Document\r\n .txt;2;x\r\nabc\r\n.a;2;A\r\n;1;B");
  ASSERT_EQ(table->ruleCount, 2);
  EXPECT_EQ(std::u16string(table->rules[1]->description), u"B");

  const std::u16string longLine = u".a;2;" + Repeat(u"x", 3000) + u"\n.b;2;B";
  table = Parse(longLine);
  ASSERT_EQ(table->ruleCount, 1);
  // The line is cut at 2047 characters and the description field at 511.
  EXPECT_EQ(std::u16string(table->rules[0]->description).size(), kDescriptionCapacity - 1);
}

TEST(ParseRuleText, ExtensionListsKeepEmptyItemsAndTheirLimits) {
  auto table = Parse(u".a,,.b;2;x\r\n.a,.b,;2;x\r\n.abc\r\n" + Repeat(u".e,", 17) + u";2;x\r\n." +
                     Repeat(u"y", 39) + u";2;x");
  ASSERT_EQ(table->ruleCount, 5);
  const FileTypeRule& three = *table->rules[0];
  ASSERT_EQ(three.extensionCount, 3);
  EXPECT_EQ(Ext(three, 1), u"");
  EXPECT_EQ(table->rules[1]->extensionCount, 2);

  const FileTypeRule& bare = *table->rules[2];
  EXPECT_EQ(bare.extensionCount, 1);
  EXPECT_EQ(bare.kind, 0u);
  EXPECT_EQ(bare.description[0], u'\0');
  EXPECT_EQ(bare.patternCount, 0);

  EXPECT_EQ(table->rules[3]->extensionCount, kMaxExtensions);
  EXPECT_EQ(Ext(*table->rules[4], 0), u"." + Repeat(u"y", 30));
}

TEST(ParsePattern, MasksValuesAndDroppedTests) {
  int result = 0;
  auto table = Parse(u".x;2;d;0,2,FF,4D5A;0,2,,4D5;0,4;0,0,,,0,1,,41", &result);
  EXPECT_EQ(result, 0);  // one pattern field was refused
  const FileTypeRule& rule = *table->rules[0];
  ASSERT_EQ(rule.patternCount, 2);
  const ByteTest& wrongMask = TestAt(rule, 0, 0);
  EXPECT_EQ(wrongMask.mask[0], 0xFF);  // a mask of the wrong length is ignored
  EXPECT_EQ(wrongMask.mask[1], 0xFF);
  EXPECT_EQ(wrongMask.value[1], 0x5A);

  const SignaturePattern& twoGroups = *rule.patterns[1];
  ASSERT_EQ(twoGroups.testCount, 2);
  EXPECT_EQ(twoGroups.tests[0]->count, 0u);
  EXPECT_FALSE(twoGroups.tests[0]->value);
  EXPECT_EQ(twoGroups.tests[1]->value[0], 0x41);

  // The value item of a lone count-0 group is never produced: no test, no pattern.
  table = Parse(u".x;2;d;0,0,,", &result);
  EXPECT_EQ(table->rules[0]->patternCount, 0);
  EXPECT_EQ(result, 0);
}

TEST(ParsePattern, KeepsEightTestsAndLetsALaterGroupFillADroppedOne) {
  std::u16string ten;
  for (int i = 0; i < 10; ++i) ten += (i ? u"," : u"") + std::u16string(u"0,1,,") + u"4" + char16_t(u'0' + i);
  auto table = Parse(u".x;2;d;" + ten);
  const SignaturePattern& kept = *table->rules[0]->patterns[0];
  ASSERT_EQ(kept.testCount, 8);
  EXPECT_EQ(kept.tests[7]->value[0], 0x47);

  std::u16string withBad = u"0,1,,40,0,1,,4,";  // second group's value has the wrong length
  for (int i = 2; i < 10; ++i) withBad += std::u16string(u"0,1,,4") + char16_t(u'0' + i) + u",";
  withBad.pop_back();
  table = Parse(u".x;2;d;" + withBad);
  const SignaturePattern& refilled = *table->rules[0]->patterns[0];
  ASSERT_EQ(refilled.testCount, 8);
  EXPECT_EQ(refilled.tests[1]->value[0], 0x42);
  EXPECT_EQ(refilled.tests[7]->value[0], 0x48);  // the ninth group took the dropped one's place
}

TEST(ParsePattern, OffsetsAndCountsAtTheEdgesOfTheirTypes) {
  auto table = Parse(
      u".x;2;d;-1,1,,65;18446744073709551615,1,,65;99999999999999999999999,1,,65;-2,1,,65;"
      u"0,-1,,65;0,2147483648,,65;0,4294967296,,65; +7,+1,,65");
  const FileTypeRule& rule = *table->rules[0];
  ASSERT_EQ(rule.patternCount, 5);
  EXPECT_TRUE(TestAt(rule, 0, 0).IsTail());
  EXPECT_TRUE(TestAt(rule, 1, 0).IsTail());
  EXPECT_TRUE(TestAt(rule, 2, 0).IsTail());
  EXPECT_EQ(TestAt(rule, 3, 0).offset, UINT64_MAX - 1);
  EXPECT_EQ(TestAt(rule, 4, 0).offset, 7u);  // blanks and a plus sign are accepted
  EXPECT_EQ(TestAt(rule, 4, 0).count, 1u);
}

TEST(ParsePattern, ItemsAndFieldsAreCutAtTheirLimits) {
  // A 128-byte test needs 256 digits, one more than an item holds: it is always dropped.
  const std::u16string big = u"0,128,," + Repeat(u"41", 128);
  const std::u16string fits = u"0,127,," + Repeat(u"41", 127);
  auto table = Parse(u".x;2;d;" + big + u";" + fits);
  const FileTypeRule& rule = *table->rules[0];
  ASSERT_EQ(rule.patternCount, 1);
  EXPECT_EQ(TestAt(rule, 0, 0).count, 127u);

  // Fields are cut at 511 characters; the next field starts after the next ";".
  const std::u16string longDescription = Repeat(u"d", 600);
  table = Parse(u".x;2;" + longDescription + u";0,1,,41");
  EXPECT_EQ(std::u16string(table->rules[0]->description), Repeat(u"d", 511));
  EXPECT_EQ(table->rules[0]->patternCount, 1);
}

TEST(ParseRuleText, PatternAndRuleLimits) {
  std::u16string line = u".x;2;d";
  for (int i = 0; i < kMaxPatterns + 1; ++i) line += u";0,1,,41";
  int result = 1;
  auto table = Parse(line, &result);
  EXPECT_EQ(table->rules[0]->patternCount, kMaxPatterns);
  EXPECT_EQ(result, 0);  // the 65th field was refused

  std::u16string text;
  for (int i = 0; i < kMaxRules + 5; ++i) text += u".r;2;d;0,1,,41\r\n";
  table = Parse(text);
  EXPECT_EQ(table->ruleCount, kMaxRules);
}

TEST(ParseRuleText, EveryRuleLineYieldsARuleEvenWhenAllPatternsAreRefused) {
  int result = 1;
  auto table = Parse(u".bad;1;Bad;0,4,,123;xy\r\n.good;2;Good;0,1,,41", &result);
  ASSERT_EQ(table->ruleCount, 2);
  EXPECT_EQ(table->rules[0]->patternCount, 0);
  EXPECT_EQ(result, 1);  // the second line was accepted in full
  table = Parse(u".bad;1;Bad;0,4,,123", &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ParseRuleText(*table, nullptr), 0);
}

TEST(RuleTableLife, FreeChangesNothingUnlessLoaded) {
  auto table = Parse(u".a;2;A;0,1,,41");
  EXPECT_EQ(FreeRuleTable(*table), 1);
  EXPECT_EQ(table->ruleCount, 1);  // never loaded: never walked

  ResetRuleTable(*table, nullptr);
  EXPECT_EQ(table->ruleCount, 0);
  EnsureRuleTableLoaded(*table);
  EXPECT_TRUE(table->loaded);
  EXPECT_EQ(table->ruleCount, 45);
  EnsureRuleTableLoaded(*table);
  EXPECT_EQ(table->ruleCount, 45);  // loaded once only

  EXPECT_EQ(FreeRuleTable(*table), 1);
  EXPECT_EQ(table->ruleCount, 0);
  EXPECT_FALSE(table->loaded);
  EXPECT_EQ(FreeRuleTable(*table), 1);
  EXPECT_EQ(table->ruleCount, 0);
}

}  // namespace
}  // namespace kindprobe
