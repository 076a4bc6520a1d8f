// The report the C accessors read: each field from the check, its explanation and the open
// status, in the checker's language.
#include "library/report.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace kindprobe::library {
namespace {

explain::Explanation TwoStreams() {
  explain::Explanation explanation;
  explanation.streams = {{explain::StreamKind::kVideo, "hvc1", u"HEVC", u"高效视频编码"},
                         {explain::StreamKind::kAudio, "A_DTS", u"DTS", u""}};
  return explanation;
}

TEST(LibraryReportFill, CodecNamesInTheLanguageAndChineseOnlyWhereThereIsOne) {
  const explain::Explanation explanation = TwoStreams();
  struct Case {
    Language language;
    const char* videoCodec;
    const char* audioCodec;
  };
  for (const Case& c : {Case{Language::kChinese, "高效视频编码", "DTS"},
                        Case{Language::kEnglish, "HEVC", "DTS"}}) {
    Report report;
    FillReport(report, CheckResult{}, &explanation, {}, c.language);
    ASSERT_EQ(report.streams.size(), 2u);
    EXPECT_STREQ(report.streams[0].kind, "video");
    EXPECT_EQ(report.streams[0].codec, c.videoCodec);
    EXPECT_EQ(report.streams[0].tag, "hvc1");
    EXPECT_STREQ(report.streams[1].kind, "audio");
    EXPECT_EQ(report.streams[1].codec, c.audioCodec);
    EXPECT_EQ(report.streams[1].tag, "A_DTS");
  }
}

TEST(LibraryReportFill, ANewCheckLeavesNothingOfTheLast) {
  const explain::Explanation explanation = TwoStreams();
  Report report;
  FillReport(report, CheckResult{}, &explanation, {}, Language::kEnglish);
  CheckResult outOfRange;
  outOfRange.typeId = 9;  // a rule file may give any kind; the interface promises 0..4
  const platform::OpenStatus denied{platform::OpenStatus::Reason::kSystem, EACCES};
  FillReport(report, outOfRange, nullptr, denied, Language::kChinese);
  EXPECT_TRUE(report.streams.empty());
  EXPECT_TRUE(report.reasons.empty());
  EXPECT_EQ(report.typeId, 0);
  EXPECT_EQ(report.description, "未知类型");
  EXPECT_EQ(report.error, EACCES);
  EXPECT_EQ(report.errorText, "cannot open (Permission denied)");
}

}  // namespace
}  // namespace kindprobe::library
