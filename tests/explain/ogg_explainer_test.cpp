#include <gtest/gtest.h>

#include "explain_support.h"

namespace kindprobe::explaintest {
namespace {

using explain::DetailId;
using explain::ReasonCode;

constexpr uint8_t kEos = 0x04;

void Page(Builder& file, uint8_t flags, const std::vector<uint8_t>& lacing) {
  file.Text("OggS").Raw({0, flags}).Fill(8).Fill(4, 1).Fill(4).Fill(4);
  file.Raw({static_cast<uint8_t>(lacing.size())});
  size_t body = 0;
  for (uint8_t l : lacing) {
    file.Raw({l});
    body += l;
  }
  file.Fill(body, 0x5A);
}

// `pages` pages of 3 × 255 + 10 bytes, the last one flagged end of stream when `finished`.
Bytes Ogg(int pages, bool finished) {
  Builder file;
  for (int i = 0; i < pages; ++i) {
    Page(file, (finished && i == pages - 1) ? kEos : 0, {255, 255, 255, 10});
  }
  return file.bytes();
}

TEST(OggExplainer, FinishedStreamHasNoReason) {
  EXPECT_TRUE(Explain(Ogg(1, true)).reasons.empty());
  EXPECT_TRUE(Explain(Ogg(400, true)).reasons.empty());
}

TEST(OggExplainer, CutPageGivesItsDeclaredEnd) {
  const Bytes whole = Ogg(400, true);
  const size_t pageSize = whole.size() / 400;
  struct Case {
    size_t length;
    size_t declared;
  };
  // The last ones end 1 to 4 bytes into a page header, too few to show its whole mark: the
  // header (27 bytes) is what that page declares so far.
  const Case cases[] = {{100, pageSize},
                        {pageSize * 200 + 500, pageSize * 201},
                        {whole.size() - 1, whole.size()},
                        {pageSize * 300 + 1, pageSize * 300 + 27},
                        {pageSize * 300 + 4, pageSize * 300 + 27}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    const auto reason = Explain(Cut(whole, c.length)).Find(DetailId::kOggPage);
    ASSERT_TRUE(reason.has_value());
    EXPECT_EQ(reason->declared, c.declared);
    EXPECT_EQ(reason->actual, c.length);
  }
}

TEST(OggExplainer, CutAtAPageBoundaryLacksTheEndOfStream) {
  const Bytes whole = Ogg(400, true);
  const Outcome outcome = Explain(Cut(whole, whole.size() / 400 * 250));
  EXPECT_TRUE(outcome.Has(DetailId::kOggNoEos));
  EXPECT_EQ(outcome.reasons[0].code, ReasonCode::kTruncated);
  EXPECT_TRUE(Explain(Ogg(3, false)).Has(DetailId::kOggNoEos));
}

TEST(OggExplainer, HostilePages) {
  // 255 lacing values of 255: the largest page there is, whole and cut.
  Builder largest;
  Page(largest, kEos, std::vector<uint8_t>(255, 255));
  EXPECT_TRUE(Explain(largest.bytes()).reasons.empty());
  EXPECT_TRUE(Explain(Cut(largest.bytes(), 27 + 100)).Has(DetailId::kOggPage));
  // Junk after a finished stream, one piece of it looking like a page, is not a cut.
  Builder junk;
  Page(junk, kEos, {255, 10});
  junk.Text("OggS").Raw({0}).Fill(200);
  EXPECT_TRUE(Explain(junk.bytes()).reasons.empty());
  // The header cut inside its fixed part.
  const auto headerCut = Explain(Cut(Ogg(1, true), 10)).Find(DetailId::kOggPage);
  ASSERT_TRUE(headerCut.has_value());
  EXPECT_EQ(headerCut->declared, 27u);
  // Tiny files and a page whose lacing table is cut.
  EXPECT_TRUE(Explain(Builder().Text("OggS").bytes()).Has(DetailId::kOggPage));
  Builder lacingCut;
  lacingCut.Text("OggS").Raw({0, 0}).Fill(20).Raw({200}).Fill(5);
  EXPECT_TRUE(Explain(lacingCut.bytes()).Has(DetailId::kOggPage));
  // One read for the end, however long the file.
  const Outcome outcome = Explain(Ogg(2000, true));
  EXPECT_TRUE(outcome.reasons.empty());
  EXPECT_LE(outcome.extraReads, 1u);
}

}  // namespace
}  // namespace kindprobe::explaintest
