// --explain in process: its options, the detail texts and how reasons are printed.
#include <gtest/gtest.h>

#include <string>

#include "cli/options.h"
#include "diagnosis/output_format.h"
#include "diagnosis/reason_text.h"
#include "platform/utf.h"

namespace kindprobe::cli {
namespace {

// An InvalidMedia answer of rule `rule` with what --explain found.
Classification Answer(std::u16string_view description, int32_t rule,
                      const std::vector<ReasonLine>* reasons,
                      const std::vector<StreamLine>* streams = nullptr) {
  Classification answer;
  answer.typeId = 4;
  answer.description = description;
  answer.ruleIndex = rule;
  answer.reasons = reasons;
  answer.streams = streams;
  return answer;
}

using explain::DetailId;
using explain::Reason;
using explain::ReasonCode;

TEST(ExplainOptions, ExplainAndLanguage) {
  const auto plain = ParseOptions({u"x"});
  ASSERT_TRUE(plain.options);
  EXPECT_FALSE(plain.options->explain);
  EXPECT_EQ(plain.options->language, Language::kChinese);
  const auto english = ParseOptions({u"--explain", u"--lang", u"en", u"x"});
  ASSERT_TRUE(english.options);
  EXPECT_TRUE(english.options->explain);
  EXPECT_EQ(english.options->language, Language::kEnglish);
  EXPECT_EQ(ParseOptions({u"--lang=en", u"--lang=zh", u"x"}).options->language, Language::kChinese);
  for (const char16_t* bad : {u"--lang=de", u"--lang=", u"--lang=EN"}) {
    const auto parsed = ParseOptions({bad, u"x"});
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.error, "--lang takes zh or en");
  }
  EXPECT_EQ(ParseOptions({u"x", u"--lang"}).error, "option --lang needs a value");
  EXPECT_FALSE(ParseOptions({u"--explain=yes", u"x"}).options);
}

TEST(ReasonText, EveryDetailHasBothLanguagesWithItsNumbers) {
  for (int i = 0; i <= static_cast<int>(explain::kLastDetail); ++i) {
    Reason reason;
    reason.detail = static_cast<DetailId>(i);
    reason.declared = 987654;
    reason.actual = 123;
    reason.name = u".mkv";
    reason.nameRule = u"MKV媒体文件";
    reason.other = u"AVI文件";
    const std::u16string key = platform::Utf8ToUtf16(DetailKey(reason.detail));
    const std::u16string chinese = DetailText(reason, Language::kChinese);
    const std::u16string english = DetailText(reason, Language::kEnglish);
    SCOPED_TRACE(platform::Utf16ToUtf8(key));
    EXPECT_NE(chinese, key);
    EXPECT_NE(english, key);
    EXPECT_NE(chinese, english);
    // No field left unfilled, and the numbers appear in both or in neither.
    EXPECT_EQ(chinese.find(u'{'), std::u16string::npos);
    EXPECT_EQ(english.find(u'{'), std::u16string::npos);
    EXPECT_EQ(chinese.find(u"987654") != std::u16string::npos,
              english.find(u"987654") != std::u16string::npos);
    EXPECT_EQ(chinese.find(u"123") != std::u16string::npos,
              english.find(u"123") != std::u16string::npos);
  }
}

TEST(ReasonText, FieldsAreFilledOnce) {
  Reason reason;
  reason.code = ReasonCode::kRenamed;
  reason.detail = DetailId::kRenamed;
  reason.name = u".{other}";  // a file name may hold braces
  reason.nameRule = u"MKV媒体文件";
  reason.other = u"AVI文件";
  EXPECT_EQ(DetailText(reason, Language::kEnglish),
            u"the extension .{other} belongs to \"MKV media file\", but the content is \"AVI file\"");
}

TEST(ReasonOutput, TextIndentsOneReasonPerLineAndJsonAddsTheArray) {
  Reason cut;
  cut.detail = DetailId::kRiffSize;
  cut.declared = 7318;
  cut.actual = 4878;
  const std::vector<ReasonLine> reasons = ReasonLines({cut}, Language::kEnglish);
  const Classification result = Answer(u"AVI文件", 20, &reasons);
  std::string text;
  AppendResultLine(OutputMode::kText, u"a.avi", result, &text);
  EXPECT_EQ(text,
            "a.avi: AVI文件 (TypeID 4)\n"
            "  truncated: the RIFF header declares 7318 bytes, the file has 4878\n");
  std::string json;
  AppendResultLine(OutputMode::kJson, u"a.avi", result, &json);
  EXPECT_EQ(json,
            "{\"path\":\"a.avi\",\"typeId\":4,\"typeName\":\"InvalidMedia\",\"description\":"
            "\"AVI文件\",\"rule\":20,\"reasons\":[{\"code\":\"truncated\",\"detail\":\"the RIFF "
            "header declares 7318 bytes, the file has 4878\"}]}\n");
  const std::vector<ReasonLine> none;
  json.clear();
  AppendResultLine(OutputMode::kJson, u"a.avi", Answer(u"AVI文件", 20, &none), &json);
  EXPECT_NE(json.find(",\"reasons\":[]}"), std::string::npos);
  // Without --explain the line is as it always was.
  json.clear();
  AppendResultLine(OutputMode::kJson, u"a.avi", Answer(u"AVI文件", 20, nullptr), &json);
  EXPECT_EQ(json.find("reasons"), std::string::npos);
}

TEST(StreamOutput, CodecNamesAndKindsInTheLanguageAndTagsEscapedInJson) {
  explain::Stream subtitles;
  subtitles.kind = explain::StreamKind::kSubtitle;
  subtitles.tag = "S_TEXT/\"UTF8\"";
  subtitles.codec = u"Text subtitles (SRT)";
  subtitles.codecZh = u"文本字幕 (SRT)";
  explain::Stream video;
  video.kind = explain::StreamKind::kVideo;
  video.tag = "hvc1";
  video.codec = u"HEVC";  // the same in Chinese
  const explain::Streams streams = {video, subtitles};
  const std::vector<ReasonLine> none;
  for (const auto& [language, line] :
       {std::pair(Language::kChinese,
                  "  streams: 视频 HEVC (hvc1), 字幕 文本字幕 (SRT) (S_TEXT/\"UTF8\")\n"),
        std::pair(
            Language::kEnglish,
            "  streams: video HEVC (hvc1), subtitle Text subtitles (SRT) (S_TEXT/\"UTF8\")\n")}) {
    const std::vector<StreamLine> lines = StreamLines(streams, language);
    std::string text;
    AppendResultLine(OutputMode::kText, u"a.mkv", Answer(u"MKV", 1, &none, &lines), &text);
    EXPECT_EQ(text, std::string("a.mkv: MKV (TypeID 4)\n") + line);
  }
  const std::vector<StreamLine> lines = StreamLines(streams, Language::kEnglish);
  std::string json;
  AppendResultLine(OutputMode::kJson, u"a.mkv", Answer(u"MKV", 1, &none, &lines), &json);
  EXPECT_NE(json.find(",\"streams\":[{\"kind\":\"video\",\"codec\":\"HEVC\",\"tag\":\"hvc1\"},"
                      "{\"kind\":\"subtitle\",\"codec\":\"Text subtitles (SRT)\",\"tag\":"
                      "\"S_TEXT/\\\"UTF8\\\"\"}]}"),
            std::string::npos)
      << json;
  // No streams: no line in text, an empty array in JSON.
  const std::vector<StreamLine> empty;
  std::string text;
  AppendResultLine(OutputMode::kText, u"a.mkv", Answer(u"MKV", 1, &none, &empty), &text);
  EXPECT_EQ(text, "a.mkv: MKV (TypeID 4)\n");
  json.clear();
  AppendResultLine(OutputMode::kJson, u"a.mkv", Answer(u"MKV", 1, &none, &empty), &json);
  EXPECT_NE(json.find(",\"reasons\":[],\"streams\":[]}"), std::string::npos) << json;
}

}  // namespace
}  // namespace kindprobe::cli
