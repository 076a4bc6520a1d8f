#include <gtest/gtest.h>

#include "explain_support.h"

namespace kindprobe::explaintest {
namespace {

using explain::DetailId;
using explain::ReasonCode;

void Box(Builder& file, const char* type, size_t payload) {
  file.Be32(static_cast<uint32_t>(8 + payload)).Text(type).Fill(payload, 0x22);
}

// ftyp, mdat, moov: the order of a file whose index is written last.
Bytes Mp4(size_t mediaBytes, bool withMoov = true) {
  Builder file;
  Box(file, "ftyp", 16);
  Box(file, "mdat", mediaBytes);
  if (withMoov) Box(file, "moov", 300);
  return file.bytes();
}

TEST(IsoMediaExplainer, WholeFilesHaveNoReason) {
  EXPECT_TRUE(Explain(Mp4(100)).reasons.empty());
  EXPECT_TRUE(Explain(Mp4(100000)).reasons.empty());
  // A last box of size 0 runs to the end of the file.
  Builder open;
  Box(open, "ftyp", 16);
  Box(open, "moov", 40);
  open.Be32(0).Text("mdat").Fill(5000);
  EXPECT_TRUE(Explain(open.bytes()).reasons.empty());
}

TEST(IsoMediaExplainer, BoxRunningPastTheEndNamesTheBox) {
  const Bytes whole = Mp4(100000);
  const Outcome inMdat = Explain(Cut(whole, 50000));
  const auto reason = inMdat.Find(DetailId::kIsoBox);
  ASSERT_TRUE(reason.has_value());
  EXPECT_EQ(reason->name, u"mdat");
  EXPECT_EQ(reason->declared, 24u + 8 + 100000);
  EXPECT_EQ(reason->actual, 50000u);
  EXPECT_EQ(Explain(Cut(whole, whole.size() - 1)).Find(DetailId::kIsoBox)->name, u"moov");
  // Cut inside a box header.
  EXPECT_TRUE(Explain(Cut(whole, 24 + 8 + 100000 + 3)).Has(ReasonCode::kTruncated));
}

TEST(IsoMediaExplainer, MissingIndexIsTruncationAndMissingMediaIsNoMediaData) {
  const Outcome noMoov = Explain(Mp4(1000, false));
  EXPECT_TRUE(noMoov.Has(DetailId::kIsoNoMoov));
  EXPECT_EQ(noMoov.reasons.front().code, ReasonCode::kTruncated);
  Builder noMdat;
  Box(noMdat, "ftyp", 16);
  Box(noMdat, "moov", 100);
  EXPECT_TRUE(Explain(noMdat.bytes()).Has(ReasonCode::kNoMediaData));
}

TEST(IsoMediaExplainer, LargeSizes) {
  Builder file;
  Box(file, "ftyp", 16);
  file.Be32(1).Text("mdat").Be64(16 + 64).Fill(64);
  Box(file, "moov", 8);
  EXPECT_TRUE(Explain(file.bytes()).reasons.empty());
  // 2^64-1 does not wrap around to a small end.
  Builder huge;
  Box(huge, "ftyp", 16);
  huge.Be32(1).Text("mdat").Be64(UINT64_MAX).Fill(64);
  const auto reason = Explain(huge.bytes()).Find(DetailId::kIsoBox);
  ASSERT_TRUE(reason.has_value());
  EXPECT_EQ(reason->declared, UINT64_MAX);
  // A 64-bit size cut before its last bytes.
  Builder cut;
  Box(cut, "ftyp", 16);
  cut.Be32(1).Text("mdat").Raw({0, 0});
  EXPECT_TRUE(Explain(cut.bytes()).Has(DetailId::kIsoBox));
}

TEST(IsoMediaExplainer, HostileSizesNeitherLoopNorJudge) {
  // Sizes below a header's own size (2 to 7, and a 64-bit size of 8) cannot advance: the walk
  // stops without a finding instead of looping.
  for (uint32_t size : {2u, 7u}) {
    Builder file;
    Box(file, "ftyp", 16);
    file.Be32(size).Text("mdat").Fill(100);
    EXPECT_TRUE(Explain(file.bytes()).reasons.empty()) << size;
  }
  Builder small64;
  Box(small64, "ftyp", 16);
  small64.Be32(1).Text("mdat").Be64(8).Fill(100);
  EXPECT_TRUE(Explain(small64.bytes()).reasons.empty());
  // Thousands of empty boxes: the walk stops at its bound, and judges no missing index.
  Builder many;
  Box(many, "ftyp", 16);
  for (int i = 0; i < 5000; ++i) Box(many, "free", 0);
  const Outcome outcome = Explain(many.bytes());
  EXPECT_TRUE(outcome.reasons.empty());
  EXPECT_LE(outcome.extraReads, explain::kMaxExtraReads);
  // Too small to hold a box at all, or not this family.
  EXPECT_TRUE(Explain(Builder().Be32(8).Text("ftyp").bytes()).Has(DetailId::kIsoNoMoov));
  EXPECT_TRUE(Explain(Builder().Be32(8).Text("ftx").bytes()).reasons.empty());
}

}  // namespace
}  // namespace kindprobe::explaintest
