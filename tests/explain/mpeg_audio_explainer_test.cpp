#include <gtest/gtest.h>

#include "explain_support.h"

namespace kindprobe::explaintest {
namespace {

using explain::DetailId;
using explain::ReasonCode;

// An ID3v2 tag of `tagBody` bytes (0: no tag), then a mono MPEG-2.5 layer III frame whose
// Info block counts `countedBytes`, then `audio` bytes of frames.
Bytes Mp3(uint32_t tagBody, uint32_t countedBytes, size_t audio) {
  Builder file;
  if (tagBody > 0) {
    file.Text("ID3").Raw({4, 0, 0});
    file.Raw({static_cast<uint8_t>(tagBody >> 21 & 0x7F),
              static_cast<uint8_t>(tagBody >> 14 & 0x7F), static_cast<uint8_t>(tagBody >> 7 & 0x7F),
              static_cast<uint8_t>(tagBody & 0x7F)});
    file.Fill(tagBody);
  }
  file.Raw({0xFF, 0xE3, 0x38, 0xC0}).Fill(9).Text("Info").Be32(0x0F).Be32(5).Be32(countedBytes);
  file.Fill(audio, 0x55);
  return file.bytes();
}

TEST(MpegAudioExplainer, CountedBytesAgainstTheFile) {
  const Bytes whole = Mp3(35, 4 + 9 + 16 + 1000, 1000);
  EXPECT_TRUE(Explain(whole).reasons.empty());
  const auto reason = Explain(Cut(whole, 600)).Find(DetailId::kMp3Bytes);
  ASSERT_TRUE(reason.has_value());
  EXPECT_EQ(reason->declared, whole.size());
  EXPECT_EQ(reason->actual, 600u);
  // A count that takes in the tag as well fits a whole file exactly.
  EXPECT_TRUE(Explain(Mp3(35, static_cast<uint32_t>(whole.size()), 1000)).reasons.empty());
  // Without a tag, the frame opens the file.
  const Bytes bare = Mp3(0, 4 + 9 + 16 + 5000, 5000);
  EXPECT_TRUE(Explain(bare).reasons.empty());
  EXPECT_TRUE(Explain(Cut(bare, 3000)).Has(DetailId::kMp3Bytes));
}

TEST(MpegAudioExplainer, TagRunningPastTheEndOrAlone) {
  const Bytes whole = Mp3(3000, 4 + 9 + 16, 0);
  const auto reason = Explain(Cut(whole, 2000)).Find(DetailId::kId3Tag);
  ASSERT_TRUE(reason.has_value());
  EXPECT_EQ(reason->declared, 3010u);
  EXPECT_TRUE(Explain(Cut(whole, 3010)).Has(ReasonCode::kNoMediaData));
}

TEST(MpegAudioExplainer, HostileHeaders) {
  // Size bytes with the top bit set are no size; a tag size near the largest; tiny files.
  Bytes badSize = Mp3(35, 100, 100);
  badSize[6] = 0x80;
  EXPECT_TRUE(Explain(badSize).reasons.empty());
  Bytes largest = Mp3(35, 100, 100);
  for (int i = 6; i < 10; ++i) largest[i] = 0x7F;
  EXPECT_TRUE(Explain(largest).Has(DetailId::kId3Tag));
  EXPECT_TRUE(Explain(Builder().Text("ID3").bytes()).reasons.empty());
  EXPECT_TRUE(Explain(Builder().Raw({0xFF, 0xE3}).bytes()).reasons.empty());
  // A frame without an Info block says nothing.
  EXPECT_TRUE(Explain(Builder().Raw({0xFF, 0xFB, 0x90, 0x00}).Fill(400).bytes()).reasons.empty());
}

}  // namespace
}  // namespace kindprobe::explaintest
