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
  Builder file;
  file.Text("RIFF").Le32(4 + 12 + 12 + 4).Text("AVI ").Text("JUNK").Le32(3).Fill(4);
  file.Text("LIST").Le32(4 + 4).Text("movi").Fill(4);
  EXPECT_TRUE(Explain(file.bytes()).reasons.empty());
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
