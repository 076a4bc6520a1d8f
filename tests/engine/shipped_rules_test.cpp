// The rule text that ships in every binary: its bytes and what it parses to.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/rule_table.h"
#include "test_files.h"
#include "platform/gbk_text.h"
#include "platform/module_resource.h"

namespace kindprobe {
namespace {

struct ExpectedRule {
  const char16_t* extensions;
  uint32_t kind;
  const char16_t* description;
  int patterns;
};

// The table as it must come out of the text, rule by rule.
const ExpectedRule kShipped[] = {
    {u".txt,.ini,.bat,.dat,.bin", 2, u"文本文件", 5},
    {u".html,.htm,.shtml", 2, u"HTML文档", 3},
    {u".doc,.xls", 2, u"Office文档", 1},
    {u".pdf", 2, u"PDF文档", 1},
    {u".zip", 2, u"ZIP压缩文档", 1},
    {u".rar", 2, u"rar压缩文档", 1},
    {u".7z", 2, u"7-zip压缩文档", 1},
    {u".chm,.chi", 2, u"CHM文档", 1},
    {u".torrent", 2, u"BT种子文件", 1},
    {u".cfg", 2, u"Tessmark下载临时文件", 1},
    {u".exe,.dll,.ax,.com,.pif,.drv", 2, u"可执行文件", 1},
    {u".png", 2, u"PNG图像文件", 1},
    {u".jpeg,.jpg", 2, u"JPEG图像文件", 1},
    {u".gif", 2, u"GIF图像文件", 1},
    {u".bmp", 2, u"BMP图像文件", 1},
    {u".ico", 2, u"ICO图像文件", 1},
    {u".mp3", 1, u"MP3文件", 1},
    {u".ape", 1, u"APE文件", 1},
    {u".qv", 1, u"Tessmark媒体文件", 1},
    {u".rm,.rmvb", 1, u"RMVB文件", 1},
    {u".avi", 1, u"AVI文件", 4},
    {u".mkv", 1, u"MKV媒体文件", 1},
    {u".mpeg,.mpg", 1, u"MPEG媒体文件", 8},
    {u".mp4", 1, u"MPEG-4文件", 2},
    {u".mov,.m4a", 1, u"MPEG-4文件", 7},
    {u".flv,.swf", 1, u"FLV媒体文件", 4},
    {u".mid,.midi", 1, u"MIDI媒体文件", 2},
    {u".amr", 1, u"AMR媒体文件", 1},
    {u".ogg", 1, u"OGG媒体文件", 1},
    {u".scmv", 1, u"SCMV媒体文件", 1},
    {u".wmv,.asf,.wma", 1, u"Windows媒体文件", 1},
    {u".wav", 1, u"WAV文件", 1},
    {u"", 1, u"Some Media", 1}, {u"", 1, u"Some Media", 1}, {u"", 1, u"Some Media", 6},
    {u"", 1, u"Some Media", 2}, {u"", 1, u"Some Media", 1}, {u"", 1, u"Some Media", 1},
    {u"", 1, u"Some Media", 1}, {u"", 1, u"Some Media", 2}, {u"", 1, u"Some Media", 1},
    {u"", 1, u"Some Media", 1}, {u"", 1, u"Some Media", 1}, {u"", 1, u"Some Media", 2},
    {u"", 1, u"Some Media", 2},
};

std::string ShippedBytes() {
  const auto bytes = platform::RuleTextResource(nullptr);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = bytes.find("\r\n", start)) != std::string::npos; start = at + 2) {
    lines.push_back(bytes.substr(start, at - start));
  }
  lines.push_back(bytes.substr(start));
  return lines;
}

TEST(ShippedRuleText, HasTheResourceShape) {
  const std::string bytes = ShippedBytes();
  EXPECT_EQ(bytes.size(), 3544u);
  EXPECT_EQ(bytes.find('\0'), std::string::npos);
  EXPECT_EQ(bytes.substr(0, 2), "\r\n");  // a leading empty line
  EXPECT_EQ(bytes.substr(bytes.size() - 13), "0,4,,55AAAA55");  // no final line end
  // Every line feed is part of a CR LF pair.
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'),
            static_cast<long>(Lines(bytes).size() - 1));

  const std::vector<std::string> lines = Lines(bytes);
  for (const char* heading : {"//Document", "//bt", "//Executable", "//Image", "//Media",
                              "//Audio", "// avi", "// mpeg", "// other"}) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), heading), lines.end()) << heading;
  }
  // A media-subtype GUID comment stands right before each rule without extensions.
  int guidComments = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].rfind(";1;Some Media;", 0) == 0) {
      EXPECT_EQ(lines[i - 1].rfind("// {", 0), 0u) << lines[i];
      ++guidComments;
    }
  }
  EXPECT_EQ(guidComments, 13);
}

TEST(ShippedRuleText, ParsesToTheShippedTable) {
  auto table = testing::ShippedTable();
  ASSERT_EQ(table->ruleCount, 45);
  int patterns = 0;
  for (int i = 0; i < table->ruleCount; ++i) {
    const FileTypeRule& rule = *table->rules[i];
    const ExpectedRule& want = kShipped[i];
    std::u16string extensions;
    for (int e = 0; e < rule.extensionCount; ++e) {
      extensions += (e ? u"," : u"") + std::u16string(rule.extensions[e].get());
    }
    EXPECT_EQ(extensions, want.extensions) << "rule " << i;
    EXPECT_EQ(rule.kind, want.kind) << "rule " << i;
    EXPECT_EQ(std::u16string(rule.description), want.description) << "rule " << i;
    EXPECT_EQ(rule.patternCount, want.patterns) << "rule " << i;
    patterns += rule.patternCount;
  }
  EXPECT_EQ(patterns, 81);
}

TEST(ShippedRuleText, KeepsTheTestsThatNeedCare) {
  auto table = testing::ShippedTable();
  // The torrent rule: a masked head test and a tail test for the final "e".
  const SignaturePattern& torrent = *table->rules[8]->patterns[0];
  ASSERT_EQ(torrent.testCount, 2);
  EXPECT_EQ(torrent.tests[0]->mask[1], 0x00);
  EXPECT_TRUE(torrent.tests[1]->IsTail());
  EXPECT_EQ(torrent.tests[1]->value[0], 0x65);
  // The last field of the text, read up to the resource's last byte.
  const ByteTest& last = *table->rules[44]->patterns[1]->tests[0];
  ASSERT_EQ(last.count, 4u);
  EXPECT_EQ(last.value[0], 0x55);
  EXPECT_EQ(last.value[3], 0x55);
  // Lower-case masks read like upper-case ones.
  EXPECT_EQ(table->rules[34]->patterns[0]->tests[0]->mask[0], 0xDF);
  // The largest head range ends at byte 1661.
  uint64_t end = 0;
  for (int r = 0; r < table->ruleCount; ++r) {
    for (int p = 0; p < table->rules[r]->patternCount; ++p) {
      const SignaturePattern& pattern = *table->rules[r]->patterns[p];
      for (int t = 0; t < pattern.testCount; ++t) {
        if (!pattern.tests[t]->IsTail()) {
          end = std::max(end, pattern.tests[t]->offset + pattern.tests[t]->count);
        }
      }
    }
  }
  EXPECT_EQ(end, 1661u);
}

}  // namespace
}  // namespace kindprobe
