#include <gtest/gtest.h>

#include "explain_support.h"

namespace kindprobe::explaintest {
namespace {

using explain::DetailId;

Bytes TransportStream(int packets) {
  Builder file;
  for (int i = 0; i < packets; ++i) file.Raw({0x47}).Fill(187, 0x10);
  return file.bytes();
}

TEST(MpegTsExplainer, WholePacketsHaveNoReason) {
  EXPECT_TRUE(Explain(TransportStream(3)).reasons.empty());
  EXPECT_TRUE(Explain(TransportStream(500)).reasons.empty());
}

TEST(MpegTsExplainer, PartialLastPacket) {
  const Bytes whole = TransportStream(500);
  for (size_t length : {size_t{188 * 2 + 1}, size_t{188 * 100 + 62}, whole.size() - 1}) {
    SCOPED_TRACE(length);
    const auto reason = Explain(Cut(whole, length)).Find(DetailId::kTsPartial);
    ASSERT_TRUE(reason.has_value());
    EXPECT_EQ(reason->declared, length % 188);
    EXPECT_EQ(reason->actual, length);
  }
}

TEST(MpegTsExplainer, TagsAppendedAfterTheLastPacket) {
  Builder id3v1;
  id3v1.Text("TAG").Fill(125, 0x20);
  // An APE tag with its header: the size in the footer counts the items and the footer only.
  Builder ape;
  ape.Text("APETAGEX").Le32(2000).Le32(32 + 10).Le32(1).Le32(0x80000000).Fill(8);
  ape.Fill(10, 0x41);
  ape.Text("APETAGEX").Le32(2000).Le32(32 + 10).Le32(1).Le32(0x80000000).Fill(8);
  Builder both = ape;
  both.Text("TAG").Fill(125, 0x20);
  // An APE tag of 60 bytes with no header, then ID3v1: 188 bytes, a "packet" in length.
  Builder packetLong;
  packetLong.Fill(28, 0x41).Text("APETAGEX").Le32(2000).Le32(60).Le32(1).Le32(0).Fill(8);
  packetLong.Text("TAG").Fill(125, 0x20);
  for (const Bytes& tags : {id3v1.bytes(), ape.bytes(), both.bytes(), packetLong.bytes()}) {
    Bytes file = TransportStream(500);
    file.insert(file.end(), tags.begin(), tags.end());
    EXPECT_TRUE(Explain(file).reasons.empty()) << tags.size();
    // A packet cut short before the tags is still found.
    Bytes cut = Cut(TransportStream(500), 188 * 400 + 10);
    cut.insert(cut.end(), tags.begin(), tags.end());
    EXPECT_TRUE(Explain(cut).Has(DetailId::kTsPartial)) << tags.size();
  }
}

TEST(MpegTsExplainer, BytesAppendedAfterTheLastPacketAreNoCut) {
  // A few zero bytes, a line end, a whole "packet" of padding: only a part of a packet, which
  // opens with its sync byte, is a cut.
  for (const Bytes& appended : {Bytes(3, 0), Bytes{'\n'}, Bytes(188, 0), Bytes(188, 0xFF)}) {
    Bytes file = TransportStream(500);
    file.insert(file.end(), appended.begin(), appended.end());
    EXPECT_TRUE(Explain(file).reasons.empty()) << appended.size();
  }
}

TEST(MpegTsExplainer, OneSyncByteIsNotEnoughToCallItAStream) {
  EXPECT_TRUE(Explain(Builder().Raw({0x47}).Fill(300).bytes()).reasons.empty());
  EXPECT_TRUE(Explain(Builder().Raw({0x47}).Fill(100).bytes()).reasons.empty());
}

}  // namespace
}  // namespace kindprobe::explaintest
