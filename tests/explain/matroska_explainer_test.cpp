#include <gtest/gtest.h>

#include "explain_support.h"

namespace kindprobe::explaintest {
namespace {

using explain::DetailId;
using explain::ReasonCode;

// EBML header of 4 payload bytes, then a Segment whose size field is `sizeField`.
Bytes Matroska(std::initializer_list<uint8_t> sizeField, size_t payload) {
  Builder file;
  file.Be32(0x1A45DFA3).Raw({0x84}).Fill(4, 0x42).Be32(0x18538067).Raw(sizeField);
  file.Fill(payload, 0x33);
  return file.bytes();
}

TEST(MatroskaExplainer, SegmentSizeAgainstTheFile) {
  // One-byte size 100 and eight-byte size 100: both whole at 100 bytes of payload.
  EXPECT_TRUE(Explain(Matroska({0x80 | 100}, 100)).reasons.empty());
  EXPECT_TRUE(Explain(Matroska({0x01, 0, 0, 0, 0, 0, 0, 100}, 100)).reasons.empty());
  const Outcome cut = Explain(Matroska({0x40, 200}, 150));
  const auto reason = cut.Find(DetailId::kMatroskaSegment);
  ASSERT_TRUE(reason.has_value());
  EXPECT_EQ(reason->declared, 9u + 4 + 2 + 200);
  EXPECT_EQ(reason->actual, 9u + 4 + 2 + 150);
}

TEST(MatroskaExplainer, UnknownSizeIsNotAFinding) {
  EXPECT_TRUE(Explain(Matroska({0xFF}, 10)).reasons.empty());
  EXPECT_TRUE(
      Explain(Matroska({0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 10)).reasons.empty());
}

TEST(MatroskaExplainer, HostileHeaders) {
  // The largest eight-byte size is no file's: a damaged header, not a cut, and no wrap-around.
  const auto reason = Explain(Matroska({0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}, 10))
                          .Find(DetailId::kImpossibleSize);
  ASSERT_TRUE(reason.has_value());
  EXPECT_EQ(reason->code, ReasonCode::kDamaged);
  EXPECT_EQ(reason->name, u"Segment");
  EXPECT_EQ(reason->declared, (uint64_t{1} << 56) - 2);
  // A Segment of 2^48 bytes could still be a file's.
  EXPECT_TRUE(Explain(Matroska({0x01, 0x01, 0, 0, 0, 0, 0, 0}, 10)).Has(DetailId::kMatroskaSegment));
  // So is an EBML header that claims to end far beyond any file.
  EXPECT_TRUE(Explain(Builder()
                          .Be32(0x1A45DFA3)
                          .Raw({0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0})
                          .Fill(20)
                          .bytes())
                  .Has(DetailId::kImpossibleSize));
  // A size field of zero bits, a Segment ID that is not one, and files cut inside the headers.
  EXPECT_TRUE(Explain(Matroska({0x00}, 10)).reasons.empty());
  EXPECT_TRUE(
      Explain(Builder().Be32(0x1A45DFA3).Raw({0x80}).Be32(0x1F43B675).Raw({0x81, 0}).bytes())
          .reasons.empty());
  const Bytes whole = Matroska({0x40, 200}, 200);
  for (size_t length = 0; length < 15; ++length) {
    EXPECT_TRUE(Explain(Cut(whole, length)).reasons.empty()) << length;
  }
}

}  // namespace
}  // namespace kindprobe::explaintest
