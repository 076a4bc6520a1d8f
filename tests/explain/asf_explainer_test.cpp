#include <gtest/gtest.h>

#include "explain_support.h"

namespace kindprobe::explaintest {
namespace {

using explain::DetailId;
using explain::ReasonCode;

Builder& Le64(Builder& b, uint64_t value) {
  return b.Le32(static_cast<uint32_t>(value)).Le32(static_cast<uint32_t>(value >> 32));
}

// A Header Object holding a File Properties Object that gives `declared` as the file size,
// then `media` bytes standing for the Data Object.
Bytes Asf(uint64_t declared, uint32_t flags, size_t media, bool otherObjectFirst = false) {
  constexpr size_t kProperties = 104;
  constexpr size_t kOther = 24 + 6;
  const size_t headerSize = 30 + kProperties + (otherObjectFirst ? kOther : 0);
  Builder file;
  file.Raw({0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62,
            0xCE, 0x6C});
  Le64(file, headerSize).Le32(otherObjectFirst ? 2 : 1).Raw({1, 2});
  if (otherObjectFirst) {
    file.Fill(16, 0x77);
    Le64(file, kOther).Fill(6);
  }
  file.Raw({0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20,
            0x53, 0x65});
  Le64(file, kProperties).Fill(16);
  Le64(file, declared).Fill(40).Le32(flags).Fill(kProperties - 24 - 16 - 8 - 40 - 4);
  return file.Fill(media, 0x33).bytes();
}

TEST(AsfExplainer, FilePropertiesGiveTheSizeOfTheWholeFile) {
  const size_t whole = Asf(0, 0, 5000).size();
  struct Case {
    Bytes file;
    std::optional<DetailId> detail;
  };
  const Case cases[] = {
      {Asf(whole, 2, 5000), std::nullopt},
      {Asf(whole + 30, 2, 5000, true), std::nullopt},              // found after another object
      {Asf(whole + 500, 2, 5000), DetailId::kAsfFileSize},         // cut
      {Asf(whole + 500, 1, 5000), std::nullopt},                   // a broadcast: size unknown
      {Asf(uint64_t{1} << 50, 2, 5000), DetailId::kImpossibleSize},  // no file is that large
      {Asf(whole - 100, 2, 5000), std::nullopt},                   // data appended
  };
  for (const Case& c : cases) {
    const Outcome outcome = Explain(c.file);
    if (!c.detail) {
      EXPECT_TRUE(outcome.reasons.empty()) << c.file.size();
    } else {
      EXPECT_TRUE(outcome.Has(*c.detail)) << c.file.size();
    }
  }
  EXPECT_EQ(Explain(Asf(whole + 500, 2, 5000)).reasons[0].declared, whole + 500);
}

}  // namespace
}  // namespace kindprobe::explaintest
