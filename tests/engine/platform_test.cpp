// The POSIX side of the platform seam.
#include <gtest/gtest.h>

#include <string>

#include "platform/file.h"
#include "platform/gbk_text.h"
#include "platform/utf.h"
#include "test_files.h"

namespace kindprobe {
namespace {

TEST(Utf, UndecodableBytesSurviveTheRoundTrip) {
  // Invalid lead, truncated sequence, overlong form, encoded surrogate, then valid text.
  const std::string raw = std::string("a\xff\xe4\xb8\xc0\xaf\xed\xa0\x80") + "片😀";
  const std::u16string wide = platform::Utf8ToUtf16(raw);
  EXPECT_TRUE(platform::HasRawBytes(wide));
  EXPECT_EQ(wide.substr(0, 2), std::u16string(u"a\xdcff"));
  EXPECT_EQ(wide.substr(wide.size() - 3), u"片😀");
  EXPECT_EQ(platform::Utf16ToUtf8(wide), raw);
  EXPECT_FALSE(platform::HasRawBytes(u"片😀"));
  EXPECT_EQ(platform::Utf16ToUtf8(u"\xd800x"), "\xef\xbf\xbdx");  // other lone surrogates
  // The longest results for their length: three bytes a unit, two units for four bytes.
  std::string threeByteText;
  for (int i = 0; i < 1000; ++i) threeByteText += "片";
  EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(1000, u'片')), threeByteText);
  EXPECT_EQ(platform::Utf8ToUtf16(threeByteText), std::u16string(1000, u'片'));
  EXPECT_EQ(platform::Utf16ToUtf8(platform::Utf8ToUtf16("😀😀😀")), "😀😀😀");
  EXPECT_EQ(platform::Utf8ToUtf16(""), u"");
}

TEST(Gbk, WidensCodePage936) {
  const std::string gbk = "\xce\xc4\xb1\xbe\xce\xc4\xbc\xfe" "AB";  // 文本文件AB
  std::u16string text;
  ASSERT_TRUE(platform::WidenGbk({reinterpret_cast<const uint8_t*>(gbk.data()), gbk.size()}, &text));
  EXPECT_EQ(text, u"文本文件AB");
  const std::string broken = "A\xff";
  ASSERT_TRUE(platform::WidenGbk({reinterpret_cast<const uint8_t*>(broken.data()), broken.size()}, &text));
  EXPECT_EQ(text, u"A\xfffd");
}

TEST(File, SeeksAndReadsLikeTheWindowsFileApi) {
  testing::TempDir dir;
  auto file = platform::File::OpenForReading(testing::Utf16Path(dir.Write("f", "0123456789")).c_str());
  ASSERT_TRUE(file.IsOpen());
  uint64_t size = 0;
  ASSERT_TRUE(file.Size(&size));
  EXPECT_EQ(size, 10u);
  char buffer[16] = {};
  uint32_t got = 0;
  ASSERT_TRUE(file.SeekFromEnd(-3));
  ASSERT_TRUE(file.Read(buffer, 16, &got));
  EXPECT_EQ(std::string(buffer, got), "789");
  ASSERT_TRUE(file.Read(buffer, 16, &got));
  EXPECT_EQ(got, 0u);  // at the end
  EXPECT_FALSE(file.SeekFromEnd(-11));  // before the start
  ASSERT_TRUE(file.SeekToStart());
  ASSERT_TRUE(file.Read(buffer, 4, &got));
  EXPECT_EQ(std::string(buffer, got), "0123");

  platform::File moved = std::move(file);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_TRUE(moved.IsOpen());
  moved.Close();
  EXPECT_FALSE(moved.Read(buffer, 4, &got));
}

}  // namespace
}  // namespace kindprobe
