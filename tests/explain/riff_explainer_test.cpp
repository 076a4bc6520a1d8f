#include <gtest/gtest.h>

#include "explain_support.h"

namespace kindprobe::explaintest {
namespace {

using explain::DetailId;
using explain::ReasonCode;

// RIFF AVI: a header list, the movi list with `payload` bytes of frames, an index.
Bytes Avi(size_t payload, uint32_t riffSizeAdjust = 0) {
  Builder body;
  body.Text("AVI ").Text("LIST").Le32(4 + 8).Text("hdrl").Text("avih").Le32(0);
  body.Text("LIST").Le32(static_cast<uint32_t>(4 + payload)).Text("movi").Fill(payload, 0x11);
  body.Text("idx1").Le32(16).Fill(16);
  Builder file;
  file.Text("RIFF").Le32(static_cast<uint32_t>(body.size()) + riffSizeAdjust);
  Bytes bytes = file.bytes();
  bytes.insert(bytes.end(), body.bytes().begin(), body.bytes().end());
  return bytes;
}

TEST(RiffExplainer, WholeAviHasNoReason) {
  EXPECT_TRUE(Explain(Avi(100)).reasons.empty());
  // Beyond the head: the walk reads the chunk headers it needs from the file.
  EXPECT_TRUE(Explain(Avi(10000)).reasons.empty());
}

TEST(RiffExplainer, CutAviGivesDeclaredAndActualSizes) {
  const Bytes whole = Avi(10000);
  for (size_t length : {size_t{13}, size_t{40}, size_t{5000}, whole.size() - 1}) {
    SCOPED_TRACE(length);
    const Outcome outcome = Explain(Cut(whole, length));
    const auto reason = outcome.Find(DetailId::kRiffSize);
    ASSERT_TRUE(reason.has_value());
    EXPECT_EQ(reason->code, ReasonCode::kTruncated);
    EXPECT_EQ(reason->declared, whole.size());
    EXPECT_EQ(reason->actual, length);
    EXPECT_EQ(outcome.reasons.size(), 1u);  // one reason per code
  }
}

TEST(RiffExplainer, MoviListRunningPastTheEndIsFoundWhenTheRiffSizeIsShort) {
  Bytes file = Avi(100);
  // A RIFF size that fits the file, but a movi list that claims more.
  file[4 + 4 + 4 + 8 + 12 + 4] = 0xFF;
  file[4 + 4 + 4 + 8 + 12 + 5] = 0x7F;
  const auto reason = Explain(file).Find(DetailId::kAviMovi);
  ASSERT_TRUE(reason.has_value());
  EXPECT_GT(reason->declared, file.size());
}

TEST(RiffExplainer, EmptyMoviListHasNoMediaData) {
  const Outcome outcome = Explain(Avi(0));
  EXPECT_TRUE(outcome.Has(ReasonCode::kNoMediaData));
  EXPECT_FALSE(outcome.Has(ReasonCode::kTruncated));
}

TEST(RiffExplainer, WaveDataChunkAndStreamingSizes) {
  auto wave = [](uint32_t riffSize, uint32_t dataSize, size_t dataBytes) {
    return Builder()
        .Text("RIFF")
        .Le32(riffSize)
        .Text("WAVE")
        .Text("fmt ")
        .Le32(16)
        .Fill(16)
        .Text("data")
        .Le32(dataSize)
        .Fill(dataBytes)
        .bytes();
  };
  EXPECT_TRUE(Explain(wave(36 + 100, 100, 100)).reasons.empty());
  EXPECT_TRUE(Explain(wave(36 + 100, 100, 60)).Has(DetailId::kRiffSize));
  EXPECT_TRUE(Explain(wave(36 + 60, 100, 60)).Has(DetailId::kRiffData));
  // Sizes a streaming writer could not fill in are unknown, not short.
  EXPECT_TRUE(Explain(wave(0xFFFFFFFF, 0xFFFFFFFF, 60)).reasons.empty());
  EXPECT_TRUE(Explain(wave(0, 0xFFFFFFFF, 60)).reasons.empty());
}

TEST(RiffExplainer, OddChunksArePaddedBeforeTheNext) {
  // The empty movi list is found only by a walk that skips the odd chunk's pad byte.
  Builder file;
  file.Text("RIFF").Le32(4 + 12 + 12).Text("AVI ").Text("JUNK").Le32(3).Fill(4);
  file.Text("LIST").Le32(4).Text("movi");
  EXPECT_TRUE(Explain(file.bytes()).Has(DetailId::kAviEmptyMovi));
}

// An AVI over 1 GiB, in small: a first RIFF whose headers count `firstFrames` and, in the
// OpenDML list, `allFrames`, then `extensions` RIFF AVIX of 100 bytes of frames each.
Bytes OpenDml(uint32_t firstFrames, uint32_t allFrames, int extensions) {
  Builder body;
  body.Text("AVI ").Text("LIST").Le32(4 + 8 + 56 + 12 + 8 + 4).Text("hdrl");
  body.Text("avih").Le32(56).Fill(16).Le32(firstFrames).Fill(36);
  body.Text("LIST").Le32(4 + 8 + 4).Text("odml").Text("dmlh").Le32(4).Le32(allFrames);
  body.Text("LIST").Le32(4 + 100).Text("movi").Fill(100, 0x11);
  Builder file;
  file.Text("RIFF").Le32(static_cast<uint32_t>(body.size()));
  Bytes bytes = file.bytes();
  bytes.insert(bytes.end(), body.bytes().begin(), body.bytes().end());
  for (int i = 0; i < extensions; ++i) {
    const Bytes avix =
        Builder().Text("RIFF").Le32(4 + 12 + 100).Text("AVIX").Text("LIST").Le32(104).Text("movi")
            .Fill(100, 0x22).bytes();
    bytes.insert(bytes.end(), avix.begin(), avix.end());
  }
  return bytes;
}

TEST(RiffExplainer, OpenDmlFilesEndWhereTheirLastRiffDoes) {
  const Bytes whole = OpenDml(10, 30, 2);
  EXPECT_TRUE(Explain(whole).reasons.empty());
  EXPECT_TRUE(Explain(OpenDml(10, 10, 0)).reasons.empty());
  // Cut inside the second RIFF.
  const auto inAvix = Explain(Cut(whole, whole.size() - 50)).Find(DetailId::kAviNextRiff);
  ASSERT_TRUE(inAvix.has_value());
  EXPECT_EQ(inAvix->declared, whole.size());
  // Cut exactly where the first RIFF ends: only the OpenDML count shows frames are missing.
  const Bytes first = OpenDml(10, 30, 0);
  const auto missing = Explain(first).Find(DetailId::kAviOdmlFrames);
  ASSERT_TRUE(missing.has_value());
  EXPECT_EQ(missing->declared, 30u);
  EXPECT_EQ(missing->actual, 10u);
}

TEST(RiffExplainer, HostileChunkChainsStayWithinTheReadBudget) {
  // Thousands of empty chunks beyond the head: the walk gives up, having read a bounded amount.
  Builder file;
  file.Text("RIFF").Le32(4 + 8 * 5000).Text("AVI ");
  for (int i = 0; i < 5000; ++i) file.Text("JUNK").Le32(0);
  const Outcome outcome = Explain(file.bytes());
  EXPECT_TRUE(outcome.reasons.empty());
  EXPECT_LE(outcome.extraReads, explain::kMaxExtraReads);
  // Tiny files and a chunk size at the 32-bit limit.
  EXPECT_TRUE(Explain(Builder().Text("RIFF").Le32(4).Text("AVI").bytes()).reasons.empty());
  const Bytes huge = Builder()
                         .Text("RIFF")
                         .Le32(16)
                         .Text("AVI ")
                         .Text("LIST")
                         .Le32(0xFFFFFFFE)
                         .Text("movi")
                         .bytes();
  EXPECT_TRUE(Explain(huge).Has(DetailId::kAviMovi));
}

}  // namespace
}  // namespace kindprobe::explaintest
