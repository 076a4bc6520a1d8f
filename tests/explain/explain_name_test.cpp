#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>

#include "engine/explain/explain.h"

namespace kindprobe::explain {
namespace {

// Rules 0 to 8: AVI, MKV, two rules for one format, two "Some Media" rules told apart only by
// their first test, MP3 with a tag, the MPEG rule that bare frames match, and text.
std::unique_ptr<RuleTable> Table() {
  auto table = std::make_unique<RuleTable>();
  ParseRuleText(*table,
                u".avi;1;AVI文件;0,4,,52494646\r\n"
                u".mkv,.webm;1;MKV媒体文件;0,4,,1A45DFA3\r\n"
                u".mp4;1;MPEG-4文件;0,4,,00000018\r\n"
                u".mov,.m4a;1;MPEG-4文件;4,4,,66747970\r\n"
                u";1;Some Media;0,4,,3C53414d\r\n"
                u";1;Some Media;0,4,,000001B3\r\n"
                u".mp3;1;MP3文件;0,3,,494433\r\n"
                u".mpeg,.mpg;1;MPEG媒体文件;0,2,FFE0,FFE0\r\n"
                u".txt,.dat;2;文本文件;0,3,,EFBBBF\r\n");
  return table;
}

constexpr std::string_view kFamilies =
    "# name\tcontent\tnames\treaders\n"
    "MPEG audio\tMP3文件|MPEG媒体文件\t-\tmpeg-audio\n"
    "MPEG video\tMPEG媒体文件|Some Media@000001B3\t.m2v\t-\n"
    "Unknown rule\tNo Such Rule\t.avi\triff\n"
    "Bad hex\tSome Media@3C5\t.mkv\t-\n";

TEST(ExplainName, ExtensionOfAnotherRuleIsARename) {
  const auto table = Table();
  ASSERT_EQ(table->ruleCount, 9);
  const FormatFamilies families(*table, kFamilies);
  const auto reason = ExplainName(families, u".mkv", 0);
  ASSERT_TRUE(reason.has_value());
  EXPECT_EQ(reason->code, ReasonCode::kRenamed);
  EXPECT_EQ(reason->name, u".mkv");
  EXPECT_EQ(reason->nameRule, u"MKV媒体文件");
  EXPECT_EQ(reason->other, u"AVI文件");
}

TEST(ExplainName, RenamesAndNames) {
  const auto table = Table();
  const FormatFamilies families(*table, kFamilies);
  struct Case {
    std::u16string_view extension;
    int32_t rule;
    bool renamed;
  };
  const Case cases[] = {
      {u".webm", 0, true},   // a later extension of a rule's list
      {u".avi", 4, true},    // content of a rule without extensions
      {u".mp3", 5, true},    // MPEG video is not of the MPEG audio family
      {u".mkv", 4, true},    // a member whose first test is not hex narrows to nothing
      {u".avi", 0, false},   // its own rule
      {u".mp4", 3, false},   // same format, other rule
      {u".mp3", 7, false},   // bare MPEG audio frames in a .mp3
      {u".mpg", 6, false},   // a tagged MP3 is of the MPEG audio family too
      {u".mpg", 5, false},   // elementary MPEG video, narrowed by its first test
      {u".xyz", 0, false},   // no rule for the name
      {u"", 0, false},       // no extension
      {u".mkv", -1, false},  // no rule decided
      {u".mkv", 9, false},   // not a rule at all
      {u".MKV", 0, false},   // names arrive lower-cased
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExplainName(families, c.extension, c.rule).has_value(), c.renamed)
        << std::string(c.extension.begin(), c.extension.end()) << " rule " << c.rule;
  }
}

TEST(FormatFamilies, ReadersComeFromEveryFamilyOfTheRule) {
  const auto table = Table();
  const FormatFamilies families(*table, kFamilies);
  EXPECT_EQ(families.ReadersOf(7), Bit(Container::kMpegAudio));
  EXPECT_EQ(families.ReadersOf(5), 0u);
  EXPECT_EQ(families.ReadersOf(0), 0u);  // the family naming no rule of this table is dropped
  EXPECT_EQ(families.ReadersOf(-1), 0u);
  // Every media format an explainer knows is read by it in the shipped data: a description
  // misspelled there would leave its files unread.
  RuleTable& shipped = ProcessRuleTable();
  EnsureRuleTableLoaded(shipped);
  const FormatFamilies ours = FormatFamilies::Shipped(shipped);
  const std::u16string_view read[] = {u"AVI文件",     u"WAV文件",      u"MKV媒体文件",
                                      u"MPEG-4文件",  u"FLV媒体文件",  u"OGG媒体文件",
                                      u"MPEG媒体文件", u"MP3文件",     u"Windows媒体文件"};
  int found = 0;
  for (int32_t r = 0; r < shipped.ruleCount; ++r) {
    if (std::find(std::begin(read), std::end(read), shipped.rules[r]->description) ==
        std::end(read)) {
      continue;
    }
    ++found;
    EXPECT_NE(ours.ReadersOf(r), 0u) << "rule " << r;
  }
  EXPECT_GE(found, static_cast<int>(std::size(read)));
}

}  // namespace
}  // namespace kindprobe::explain
