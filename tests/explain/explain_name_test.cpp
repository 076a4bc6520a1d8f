#include <gtest/gtest.h>

#include <memory>

#include "engine/explain/explain.h"

namespace kindprobe::explain {
namespace {

// Rules 0 to 4: AVI, MKV, two rules for one format, and a rule without extensions.
std::unique_ptr<RuleTable> Table() {
  auto table = std::make_unique<RuleTable>();
  ParseRuleText(*table,
                u".avi;1;AVI文件;0,4,,52494646\r\n"
                u".mkv,.webm;1;MKV媒体文件;0,4,,1A45DFA3\r\n"
                u".mp4;1;MPEG-4文件;0,4,,00000018\r\n"
                u".mov,.m4a;1;MPEG-4文件;4,4,,66747970\r\n"
                u";1;Some Media;0,4,,3C53414d\r\n");
  return table;
}

TEST(ExplainName, ExtensionOfAnotherRuleIsARename) {
  const auto table = Table();
  ASSERT_EQ(table->ruleCount, 5);
  const auto reason = ExplainName(*table, u".mkv", 0);
  ASSERT_TRUE(reason.has_value());
  EXPECT_EQ(reason->code, ReasonCode::kRenamed);
  EXPECT_EQ(reason->name, u".mkv");
  EXPECT_EQ(reason->nameRule, u"MKV媒体文件");
  EXPECT_EQ(reason->other, u"AVI文件");
  // A later extension of the list counts the same, and so does content of a rule with none.
  EXPECT_TRUE(ExplainName(*table, u".webm", 0).has_value());
  EXPECT_TRUE(ExplainName(*table, u".avi", 4).has_value());
}

TEST(ExplainName, NoRenameWithoutTwoDifferentFormats) {
  const auto table = Table();
  EXPECT_FALSE(ExplainName(*table, u".avi", 0).has_value());   // its own rule
  EXPECT_FALSE(ExplainName(*table, u".mp4", 3).has_value());   // same format, other rule
  EXPECT_FALSE(ExplainName(*table, u".xyz", 0).has_value());   // no rule for the name
  EXPECT_FALSE(ExplainName(*table, u"", 0).has_value());       // no extension
  EXPECT_FALSE(ExplainName(*table, u".mkv", -1).has_value());  // no rule decided
  EXPECT_FALSE(ExplainName(*table, u".mkv", 5).has_value());   // not a rule at all
  EXPECT_FALSE(ExplainName(*table, u".MKV", 0).has_value());   // names arrive lower-cased
}

}  // namespace
}  // namespace kindprobe::explain
