// The rule table lint and the reading of rule files, in process: each finding from a hand-made
// table, the shipped table's known findings, and the option forms that reach them.
#include "cli/rules/rule_check.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/rules/rule_listing.h"
#include "diagnosis/rule_file.h"
#include "engine/rule_table.h"

namespace kindprobe::cli {
namespace {

std::u16string Lines(std::initializer_list<const char16_t*> lines) {
  std::u16string text;
  for (const char16_t* line : lines) {
    text += line;
    text += u"\r\n";
  }
  return text;
}

std::string Dump(const std::vector<RuleDiagnostic>& diagnostics) {
  return FormatRuleDiagnostics("t", diagnostics);
}

// Whether some finding on `line` holds `words` (and is an error when `error` says so).
bool Has(const std::vector<RuleDiagnostic>& diagnostics, size_t line, std::string_view words,
         bool error = false) {
  for (const RuleDiagnostic& d : diagnostics) {
    if (d.line == line && d.error == error && d.message.find(words) != std::string::npos) {
      return true;
    }
  }
  return false;
}

constexpr char16_t kGoodRule[] = u".abc;2;ABC file;0,3,,414243";

TEST(RuleCheck, ACleanTableHasNothingToReport) {
  const auto found = CheckRuleText(Lines(
      {u"", u"// comment", kGoodRule, u";1;Some Media;0,4,,3C53414d", u".x,.y;1;XY;-1,1,,65"}));
  EXPECT_TRUE(found.empty()) << Dump(found);
}

TEST(RuleCheck, CutsAndLimitsOfTheParserAreReportedOnTheirLine) {
  const std::u16string longExtension(40, u'e');
  const std::u16string longDescription(600, u'd');
  std::u16string manyExtensions;
  for (int i = 0; i < 17; ++i) manyExtensions += u".e" + std::u16string(1, u'a' + i) + u",";
  std::u16string manyTests;
  for (int i = 0; i < 9; ++i) manyTests += u"0,1,,41,";
  const std::u16string longLine = u".long;2;L;" + std::u16string(2100, u'1');
  const std::u16string longItem = u"0,2,,4142" + std::u16string(300, u'0');
  const std::u16string text = Lines({
      (u"." + longExtension + u";2;E;0,1,,41").c_str(),       // 1
      (u".desc;2;" + longDescription + u";0,1,,41").c_str(),  // 2
      (manyExtensions + u";2;M;0,1,,41").c_str(),             // 3
      (u".tests;2;T;" + manyTests).c_str(),                   // 4
      u".short;2;S;0,1,,41;ab",                               // 5
      u".mask;2;M;0,2,FF,4D5A",                               // 6
      u".value;2;V;0,2,,4D5A00;0,1,,41",                      // 7
      u".big;2;B;0,200,,",                                    // 8
      u".half;2;H;0,4;0,1,,41",                               // 9
      longLine.c_str(),                                       // 10
      (u".item;2;I;" + longItem).c_str(),                     // 11
  });
  const auto found = CheckRuleText(text);
  EXPECT_TRUE(Has(found, 1, "has 41 characters; it is cut to its first 31")) << Dump(found);
  EXPECT_TRUE(Has(found, 2, "the description has 600 characters; it is cut to its first 511"));
  EXPECT_TRUE(Has(found, 3, "\".eq\" is ignored: a rule lists at most 16 extensions"));
  EXPECT_TRUE(Has(found, 4, "test 9 is ignored: a pattern holds at most 8 tests"));
  EXPECT_TRUE(Has(found, 5, "pattern field 2 \"ab\" is refused: a pattern field has at least 3"));
  EXPECT_TRUE(Has(found, 6, "the mask has 2 hex digits where count 2 needs 4; it is ignored"));
  EXPECT_TRUE(
      Has(found, 7, "the value has 6 hex digits where count 2 needs 4; the test is dropped"));
  EXPECT_TRUE(Has(found, 7, "pattern field 1 \"0,2,,4D5A00\" gives no test and is refused"));
  EXPECT_TRUE(Has(found, 8, "the field ends before the value of test 1"));
  EXPECT_TRUE(Has(found, 9, "the field ends before the value of test 1"));
  EXPECT_TRUE(Has(found, 10, "the line has 2110 characters; only the first 2047 are read"));
  EXPECT_TRUE(Has(found, 10, "pattern field 1 has 2037 characters; it is cut to its first 511"));
  EXPECT_TRUE(Has(found, 11, "has 304 characters; it is cut to its first 255"));
  EXPECT_TRUE(Has(found, 11, "the value has 255 hex digits where count 2 needs 4"));
}

TEST(RuleCheck, ACountNoTestCanHoldIsNamed) {
  const std::u16string value(2 * 128, u'A');
  const auto found = CheckRuleText(Lines({(u".big;2;B;0,128,," + value + u";0,1,,41").c_str()}));
  EXPECT_TRUE(Has(found, 1, "the test is dropped (a test holds at most 127 bytes)")) << Dump(found);
}

TEST(RuleCheck, PatternsBeyondTheSixtyFourthAreRefused) {
  std::u16string line = u".many;2;P";
  for (int i = 0; i < 65; ++i) line += u";0,1,,41";
  const auto found = CheckRuleText(Lines({line.c_str()}));
  EXPECT_TRUE(Has(found, 1, "pattern field 65 is refused: a rule holds at most 64 patterns"))
      << Dump(found);
  // The first 64 are identical: each later one repeats the first.
  EXPECT_TRUE(Has(found, 1, "pattern field 64 repeats pattern field 1"));
}

TEST(RuleCheck, TheRuleAfterTheLastTheTableHoldsIsAnError) {
  std::u16string text;
  for (int i = 0; i < kMaxRules; ++i) text += u";2;R;0,1,,41\r\n";
  text += u";2;Over;0,1,,42\r\n;2;Never read;0,1,,43";
  const auto found = CheckRuleText(text);
  ASSERT_EQ(found.size(), 1u) << Dump(found);
  EXPECT_TRUE(
      Has(found, kMaxRules + 1, "this rule line and every line after it are ignored", true));
}

TEST(RuleCheck, ExtensionsThatNeverDecide) {
  const auto found = CheckRuleText(Lines({
      u"// first",
      u".avi,.mp4;1;AVI;0,4,,52494646",                 // 2
      u".lnk,.part;2;Link;0,4,,4C000000",               // 3
      u".AVI,mkv,.tar.gz,,.mp4;1;Other;0,4,,1A45DFA3",  // 4
  }));
  EXPECT_TRUE(Has(found, 3,
                  "\".lnk\" never reaches a rule: every such file is answered "
                  "\"Windows快捷方式\" first"))
      << Dump(found);
  EXPECT_TRUE(Has(found, 3, "\".part\" never reaches a rule"));
  for (const char* extension : {"\".AVI\"", "\"mkv\"", "\".tar.gz\"", "\"\""}) {
    EXPECT_TRUE(Has(found, 4, std::string(extension) + " is never looked up")) << extension;
  }
  EXPECT_TRUE(Has(found, 4,
                  "\".mp4\" is also listed by rule 0 (line 2), which decides alone: "
                  "rule 2 never decides by this extension"));
  EXPECT_FALSE(Has(found, 2, "also listed"));
}

TEST(RuleCheck, PatternsThatCanNeverHoldOrRepeat) {
  const auto found = CheckRuleText(Lines({
      u".far;2;Far;4093,4,,00000000;4092,4,,00000000;-1,200,,00",     // 1
      u".mask;2;Mask;0,1,DF,61",                                      // 2
      u".twice;2;Twice;0,2,,4D5A;0,2,,4d5a;0,2,FFFF,4D5A;0,2,,4D5B",  // 3
      u".free;2;Free;0,0,,,0,0,,;0,1,,41",                            // 4
  }));
  EXPECT_TRUE(Has(found, 1,
                  "pattern field 1: the test at offset 4093 (count 4) reaches past the "
                  "4096-byte head: it never holds"))
      << Dump(found);
  EXPECT_FALSE(Has(found, 1, "offset 4092"));
  EXPECT_TRUE(Has(found, 2, "never holds: its value has bits that its mask clears"));
  // Case of the digits and a mask of all ones make no difference.
  EXPECT_TRUE(Has(found, 3, "pattern field 2 repeats pattern field 1"));
  EXPECT_TRUE(Has(found, 3, "pattern field 3 repeats pattern field 1"));
  EXPECT_FALSE(Has(found, 3, "pattern field 4 repeats"));
  EXPECT_TRUE(Has(found, 4, "pattern field 1 tests no byte: it matches every file"));
}

TEST(RuleCheck, RepeatsAreNamedByTheirFieldsWhenAFieldBetweenIsRefused) {
  const auto found = CheckRuleText(Lines({u".r;2;R;0,1,,41;xy;0,1,,42;0,1,,42"}));
  EXPECT_TRUE(Has(found, 1, "pattern field 4 repeats pattern field 3")) << Dump(found);
}

TEST(RuleCheck, KindDescriptionAndRulesWithoutPatterns) {
  const auto found = CheckRuleText(Lines({u".k;3;K;0,1,,41", u".d;1;;0,1,,41", u".none"}));
  EXPECT_TRUE(Has(found, 1, "kind 3 is neither 1 (audio/video format) nor 2 (other format)"))
      << Dump(found);
  EXPECT_TRUE(Has(found, 2, "the description is empty"));
  EXPECT_TRUE(Has(found, 3, "rule 2 has no pattern: it matches no file", true));
}

TEST(RuleCheck, LinesThatAreNotWhatTheyLookLike) {
  // Bare LF: the comment swallows the two rules after it.
  const auto swallowed = CheckRuleText(u".a;2;A;0,1,,41\r\n// c\n.b;2;B;0,1,,42\n.c;2;C;0,1,,43");
  EXPECT_TRUE(Has(swallowed, 2,
                  "this line and the 2 line(s) after it, up to the next CR LF, as "
                  "one line"))
      << Dump(swallowed);
  const auto indented = CheckRuleText(Lines({kGoodRule, u"  .b;2;B;0,1,,42", u" // fine"}));
  ASSERT_EQ(indented.size(), 1u) << Dump(indented);
  EXPECT_TRUE(Has(indented, 2, "begins with a blank and is skipped"));

  std::u16string withNul = Lines({kGoodRule, u"// x"});
  withNul += u'\0';
  withNul += u".b;2;B;0,1,,42";
  const auto cut = CheckRuleText(withNul);
  EXPECT_TRUE(Has(cut, 3, "a NUL character ends the text here")) << Dump(cut);

  EXPECT_TRUE(Has(CheckRuleText(u"// only comments\r\n"), 1, "no rule line", true));
}

TEST(RuleCheck, TheShippedTableHasItsKnownFindings) {
  std::u16string text;
  ASSERT_TRUE(ReadModuleRuleText(ProcessRuleTable().moduleInstance, &text));
  const auto found = CheckRuleText(text);
  // Rule 1 (HTML) on line 4 lists one field twice; rule 24's first field is two digits short.
  EXPECT_TRUE(Has(found, 4, "pattern field 2 repeats pattern field 1")) << Dump(found);
  EXPECT_TRUE(Has(found, 39, "the value has 30 hex digits where count 16 needs 32"));
  EXPECT_TRUE(Has(found, 39, "gives no test and is refused"));
  for (const RuleDiagnostic& d : found) EXPECT_FALSE(d.error) << d.message;
}

// Hears the parser and counts what it hears.
class CountingObserver : public RuleTextObserver {
 public:
  void OnLine(size_t, size_t, std::u16string_view, const FileTypeRule*) override { ++heard; }
  void OnField(int32_t, std::u16string_view) override { ++heard; }
  void OnPattern(int32_t, int32_t) override { ++heard; }
  void OnNotice(const RuleTextNotice&) override { ++heard; }
  size_t heard = 0;
};

TEST(RuleCheck, ListeningDoesNotChangeWhatTheParserBuilds) {
  std::u16string shipped;
  ASSERT_TRUE(ReadModuleRuleText(ProcessRuleTable().moduleInstance, &shipped));
  std::u16string manyExtensions = u".a,.b,.c,.d,.e,.f,.g,.h,.i,.j,.k,.l,.m,.n,.o,.p,.q,.r";
  std::u16string manyPatterns = u".p;2;P";
  for (int i = 0; i < 70; ++i) manyPatterns += u";0,1,,4" + std::u16string(1, u'0' + i % 10);
  for (const std::u16string& text :
       {shipped, manyExtensions + u";2;E;0,1,,41", manyPatterns,
        std::u16string(u".t;2;T;") + u"0,1,,41,1,1,,42,2,1,,43,3,1,,44,4,1,,45,5,1,,46,6,1,,47,"
                                     u"7,1,,48,8,1,,49,9,1,,4A"}) {
    const auto quiet = RuleTableFromText(text);
    auto heard = std::make_unique<RuleTable>();
    CountingObserver observer;
    LoadRuleTableFromText(*heard, text.c_str(), &observer);
    EXPECT_GT(observer.heard, 0u);
    EXPECT_EQ(ListRules(*heard), ListRules(*quiet));
  }
}

TEST(RuleFile, GbkAndUtf8WithByteOrderMarkGiveTheSameText) {
  std::u16string fromGbk;
  ASSERT_TRUE(DecodeRuleText(".t;2;\xB2\xE2\xCA\xD4;0,1,,41", &fromGbk));
  EXPECT_EQ(fromGbk, u".t;2;测试;0,1,,41");
  std::u16string fromUtf8;
  ASSERT_TRUE(DecodeRuleText("\xEF\xBB\xBF.t;2;\xE6\xB5\x8B\xE8\xAF\x95;0,1,,41", &fromUtf8));
  EXPECT_EQ(fromUtf8, fromGbk);
  // Without the mark, UTF-8 is read as GBK, as the module would read it.
  std::u16string misread;
  ASSERT_TRUE(DecodeRuleText(".t;2;\xE6\xB5\x8B\xE8\xAF\x95;0,1,,41", &misread));
  EXPECT_NE(misread, fromGbk);
  // UTF-16 is refused rather than read as GBK up to its first NUL.
  std::u16string utf16;
  EXPECT_FALSE(DecodeRuleText(std::string("\xFF\xFE.\0t\0", 6), &utf16));
  EXPECT_FALSE(DecodeRuleText(std::string("\xFE\xFF\0.\0t", 6), &utf16));
}

TEST(RuleFile, TheTableOfATextIsLoadedAndStaysLoaded) {
  const auto table = RuleTableFromText(Lines({kGoodRule, u";1;Some;0,1,,41"}));
  EXPECT_EQ(table->ruleCount, 2);
  EnsureRuleTableLoaded(*table);  // must not replace it with the module's table
  EXPECT_EQ(table->ruleCount, 2);
}

std::vector<std::u16string> Args(std::initializer_list<const char16_t*> args) {
  return std::vector<std::u16string>(args.begin(), args.end());
}

TEST(RuleOptions, CheckRulesTakesItsFileAttachedAsAPathOrNotAtAll) {
  const auto attached = ParseOptions(Args({u"--check-rules=new.txt"}));
  ASSERT_TRUE(attached.options) << attached.error;
  EXPECT_EQ(attached.options->checkFile, u"new.txt");
  const auto path = ParseOptions(Args({u"--check-rules", u"new.txt"}));
  ASSERT_TRUE(path.options) << path.error;
  EXPECT_EQ(path.options->checkFile, u"new.txt");
  EXPECT_TRUE(path.options->paths.empty());
  const auto none = ParseOptions(Args({u"--check-rules"}));
  ASSERT_TRUE(none.options) << none.error;
  EXPECT_FALSE(none.options->checkFile);
  EXPECT_FALSE(ParseOptions(Args({u"--check-rules", u"a", u"b"})).options);
}

TEST(RuleOptions, CompareRulesNeedsAFileAndPaths) {
  const auto parsed = ParseOptions(Args({u"--compare-rules", u"new.txt", u"-r", u"dir"}));
  ASSERT_TRUE(parsed.options) << parsed.error;
  EXPECT_EQ(parsed.options->action, Action::kCompareRules);
  EXPECT_EQ(parsed.options->compareFile, u"new.txt");
  EXPECT_EQ(parsed.options->paths, Args({u"dir"}));
  EXPECT_FALSE(ParseOptions(Args({u"--compare-rules", u"new.txt"})).options);
  EXPECT_FALSE(ParseOptions(Args({u"--compare-rules"})).options);
  const auto both = ParseOptions(Args({u"--check-rules", u"--compare-rules=n", u"x"}));
  EXPECT_EQ(both.error, "options --check-rules and --compare-rules cannot be combined");
}

}  // namespace
}  // namespace kindprobe::cli
