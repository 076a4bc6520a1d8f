#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "explain_support.h"

namespace kindprobe::explaintest {
namespace {

using explain::DetailId;
using explain::ReasonCode;

void Tag(Builder& file, uint8_t type, const Bytes& data) {
  const auto size = static_cast<uint32_t>(data.size());
  file.Raw({type, static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 8),
            static_cast<uint8_t>(size)});
  file.Fill(4).Raw({0, 0, 0});
  for (uint8_t b : data) file.Raw({b});
  file.Be32(11 + size);
}

// Header, metadata promising `promisedSize` (0: none), `videoTags` tags of 300 bytes.
Bytes Flv(double promisedSize, int videoTags) {
  Builder file;
  file.Text("FLV").Raw({1, 5}).Be32(9).Be32(0);
  if (promisedSize > 0) {
    Builder meta;
    meta.Raw({2, 0, 10}).Text("onMetaData").Raw({8}).Be32(1);
    meta.Raw({0, 8}).Text("filesize").Raw({0}).Be64(std::bit_cast<uint64_t>(promisedSize));
    meta.Raw({0, 0, 9});
    Tag(file, 18, meta.bytes());
  }
  for (int i = 0; i < videoTags; ++i) Tag(file, 9, Bytes(300, 0x17));
  return file.bytes();
}

TEST(FlvExplainer, WholeFileLeadsBackToItsLastTag) {
  EXPECT_TRUE(Explain(Flv(0, 3)).reasons.empty());
  const Bytes sized = Flv(0, 20);
  // The metadata tag adds 55 bytes: a promise of exactly the file's size.
  EXPECT_TRUE(Explain(Flv(static_cast<double>(sized.size() + 55), 20)).reasons.empty());
}

TEST(FlvExplainer, CutFileHasABrokenTailOrAShortSize) {
  const Bytes whole = Flv(0, 20);
  for (size_t length : {size_t{30}, size_t{1000}, whole.size() - 1, whole.size() - 4}) {
    SCOPED_TRACE(length);
    EXPECT_TRUE(Explain(Cut(whole, length)).Has(DetailId::kFlvTail));
  }
  // Cut exactly after a tag's back pointer: only the metadata can tell.
  const Bytes promised = Flv(6480, 20);
  const size_t tagBoundary = promised.size() - 2 * 315;
  const Outcome outcome = Explain(Cut(promised, tagBoundary));
  ASSERT_EQ(outcome.reasons.size(), 1u);
  EXPECT_EQ(outcome.reasons[0].detail, DetailId::kFlvFileSize);
  EXPECT_EQ(outcome.reasons[0].declared, 6480u);
  EXPECT_EQ(outcome.reasons[0].actual, tagBoundary);
}

TEST(FlvExplainer, BytesAppendedAfterTheLastTagAreNoCut) {
  // Zeros, a line end, an ID3v1 tag: none opens a tag. A cut file stays cut, also with a few
  // bytes of the next tag's header left.
  for (const Bytes& appended : {Bytes(3, 0), Bytes{'\n'}, Bytes(1024, 0)}) {
    Bytes file = Flv(0, 20);
    file.insert(file.end(), appended.begin(), appended.end());
    EXPECT_TRUE(Explain(file).reasons.empty()) << appended.size();
  }
  // After a last tag too large to look back over, only the tag's own mark tells.
  Builder large;
  large.Text("FLV").Raw({1, 5}).Be32(9).Be32(0);
  Tag(large, 9, Bytes(6000, 0x17));
  large.Text("TAG").Fill(125, 0x20);
  EXPECT_TRUE(Explain(large.bytes()).reasons.empty());
  const Bytes whole = Flv(0, 20);
  for (size_t cut : {whole.size() - 1, whole.size() - 315 + 3, whole.size() - 100}) {
    EXPECT_TRUE(Explain(Cut(whole, cut)).Has(DetailId::kFlvTail)) << cut;
  }
}

TEST(FlvExplainer, HeaderAloneHasNoMediaData) {
  EXPECT_TRUE(Explain(Flv(0, 0)).Has(ReasonCode::kNoMediaData));
}

TEST(FlvExplainer, HostileNumbers) {
  // Metadata sizes that are no promise: not a number, negative. Sizes no file can have are
  // damage; 2^48 bytes could still be a file's.
  for (double size : {std::nan(""), -5.0}) {
    EXPECT_TRUE(Explain(Flv(size, 2)).reasons.empty()) << size;
  }
  for (double size : {std::numeric_limits<double>::infinity(), 1e300, 8e15}) {
    const Outcome outcome = Explain(Flv(size, 2));
    ASSERT_EQ(outcome.reasons.size(), 1u) << size;
    EXPECT_EQ(outcome.reasons[0].code, ReasonCode::kDamaged) << size;
  }
  EXPECT_TRUE(Explain(Flv(0x1p48, 2)).Has(DetailId::kFlvFileSize));
  // A back pointer larger than the file, or pointing at bytes that are no tag header.
  Bytes file = Flv(0, 2);
  file[file.size() - 4] = 0xFF;
  EXPECT_TRUE(Explain(file).Has(DetailId::kFlvTail));
  file = Flv(0, 2);
  file[file.size() - 1] -= 1;
  EXPECT_TRUE(Explain(file).Has(DetailId::kFlvTail));
  // A data offset beyond the file, and a header cut short.
  EXPECT_TRUE(
      Explain(Builder().Text("FLV").Raw({1, 5}).Be32(0xFFFFFFF0).Be32(0).bytes()).reasons.empty());
  EXPECT_TRUE(Explain(Builder().Text("FLV").Raw({1, 5}).Be32(9).Be32(0).Raw({9, 0}).bytes())
                  .Has(DetailId::kFlvTail));
}

}  // namespace
}  // namespace kindprobe::explaintest
