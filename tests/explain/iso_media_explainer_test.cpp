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

TEST(IsoMediaExplainer, DataAppendedToAWholeFileIsNoCut) {
  const Bytes whole = Mp4(5000);
  // An ID3v1 tag (its "TAG" and title read as a box), zero padding, and an APE tag.
  Builder tag;
  tag.Text("TAG").Text("A title of thirty characters..").Fill(95, 0x20);
  Builder ape;
  ape.Text("APETAGEX").Le32(2000).Le32(32).Le32(0).Le32(0).Fill(8);
  Builder text;
  text.Text("hello world, this is appended\n");
  // A title whose letters read as a box type the walk knows, in the place of the type.
  Builder moovTitle;
  moovTitle.Text("TAG").Text("Xmoov").Fill(120, 0x20);
  for (const Bytes& trailer :
       {tag.bytes(), Bytes(4, 0), Bytes(7, 0), ape.bytes(), text.bytes(), moovTitle.bytes()}) {
    Bytes file = whole;
    file.insert(file.end(), trailer.begin(), trailer.end());
    EXPECT_TRUE(Explain(file).reasons.empty()) << trailer.size();
  }
  // The same tag after a file that was cut does not hide the cut.
  Bytes cut = Cut(whole, 3000);
  cut.insert(cut.end(), tag.bytes().begin(), tag.bytes().end());
  EXPECT_TRUE(Explain(cut).Has(DetailId::kIsoBox));
}

TEST(IsoMediaExplainer, ReadBudgetIsSpentExactlyAndThenNothingIsJudged) {
  // ftyp, then boxes 20,000 bytes apart, wider than any read's window: each header beyond the
  // head takes one read. With no moov, a walk that reaches the end finds the index missing.
  auto boxes = [](uint32_t beyondHead) {
    Builder file;
    Box(file, "ftyp", 16);
    for (uint32_t i = 0; i <= beyondHead; ++i) Box(file, "free", 20000 - 8);
    return file.bytes();
  };
  const Outcome within = Explain(boxes(explain::kMaxExtraReads));
  EXPECT_EQ(within.extraReads, explain::kMaxExtraReads);
  EXPECT_TRUE(within.Has(DetailId::kIsoNoMoov));
  // One box more: the walk stops with the budget spent, and says nothing.
  const Outcome beyond = Explain(boxes(explain::kMaxExtraReads + 1));
  EXPECT_EQ(beyond.extraReads, explain::kMaxExtraReads);
  EXPECT_TRUE(beyond.reasons.empty());
}

TEST(IsoMediaExplainer, AFragmentedFileEndingWithItsIndexIsWhole) {
  // moov, then more fragments than the budget can walk, then mfra with mfro last.
  Builder file;
  Box(file, "ftyp", 16);
  Box(file, "moov", 100);
  for (uint32_t i = 0; i < 60; ++i) {
    // Each fragment's moof opens with its 16-byte mfhd.
    file.Be32(8 + 16 + 84).Text("moof").Be32(16).Text("mfhd").Be32(0).Be32(i).Fill(84);
    Box(file, "mdat", 2000);
  }
  file.Be32(8 + 8 + 16).Text("mfra").Fill(8);
  file.Be32(16).Text("mfro").Be32(0).Be32(8 + 8 + 16);
  EXPECT_TRUE(Explain(file.bytes()).reasons.empty());
  EXPECT_LE(Explain(file.bytes()).extraReads, 3u);
  // Cut, its index is gone: the last fragment, found near the end, shows the cut box.
  EXPECT_TRUE(Explain(Cut(file.bytes(), 100000)).Has(DetailId::kIsoBox));
}

TEST(IsoMediaExplainer, StillImagesAndSkippedFragmentsAreNotJudgedEmpty) {
  // HEIF/AVIF: the index is a top-level meta, and there is no moov.
  Builder still;
  Box(still, "ftyp", 16);
  Box(still, "meta", 200);
  Box(still, "mdat", 500);
  EXPECT_TRUE(Explain(still.bytes()).reasons.empty());
  // A fragmented file whose last fragment is empty: the fragments passed over held the media.
  Builder file;
  Box(file, "ftyp", 16);
  Box(file, "moov", 100);
  for (uint32_t i = 0; i < 60; ++i) {
    file.Be32(8 + 16 + 84).Text("moof").Be32(16).Text("mfhd").Be32(0).Be32(i).Fill(84);
    Box(file, "mdat", i + 1 < 60 ? 2000 : 0);
  }
  EXPECT_TRUE(Explain(file.bytes()).reasons.empty());
}

TEST(IsoMediaExplainer, LargeSizes) {
  Builder file;
  Box(file, "ftyp", 16);
  file.Be32(1).Text("mdat").Be64(16 + 64).Fill(64);
  Box(file, "moov", 8);
  EXPECT_TRUE(Explain(file.bytes()).reasons.empty());
  // 2^64-1 is no file's size: a damaged header, not a cut (and no wrap-around to a small end).
  Builder huge;
  Box(huge, "ftyp", 16);
  huge.Be32(1).Text("mdat").Be64(UINT64_MAX).Fill(64);
  const Outcome damaged = Explain(huge.bytes());
  ASSERT_EQ(damaged.reasons.size(), 1u);
  EXPECT_EQ(damaged.reasons[0].code, ReasonCode::kDamaged);
  EXPECT_EQ(damaged.reasons[0].declared, UINT64_MAX);
  EXPECT_EQ(damaged.reasons[0].name, u"mdat");
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
  // Ten thousand empty boxes: the walk stops at its bound, and judges no missing index.
  Builder many;
  Box(many, "ftyp", 16);
  for (int i = 0; i < 10000; ++i) Box(many, "free", 0);
  const Outcome outcome = Explain(many.bytes());
  EXPECT_TRUE(outcome.reasons.empty());
  EXPECT_LE(outcome.extraReads, explain::kMaxExtraReads);
  // Too small to hold a box at all, or not this family.
  EXPECT_TRUE(Explain(Builder().Be32(8).Text("ftyp").bytes()).Has(DetailId::kIsoNoMoov));
  EXPECT_TRUE(Explain(Builder().Be32(8).Text("ftx").bytes()).reasons.empty());
}

}  // namespace
}  // namespace kindprobe::explaintest
