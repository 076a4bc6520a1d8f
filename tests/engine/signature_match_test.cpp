// Matching rules against real files: head tests, tail tests, the two lookups.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "engine/signature_match.h"
#include "test_files.h"

namespace kindprobe {
namespace {

using testing::TempDir;
using testing::Utf16Path;

// One file under check: its bytes on disk, its head in memory, the file open.
class Match : public ::testing::Test {
 protected:
  void Load(std::string_view bytes, const RuleTable* table = nullptr) {
    table_ = table ? table : shipped_.get();
    file_ = platform::File::OpenForReading(Utf16Path(dir_.Write("f", bytes)).c_str());
    ASSERT_TRUE(file_.IsOpen());
    head_.headLength = static_cast<uint32_t>(std::min<size_t>(bytes.size(), kFileHeadCapacity));
    head_.data = std::make_unique<uint8_t[]>(head_.headLength);
    std::memcpy(head_.data.get(), bytes.data(), head_.headLength);
    matcher_ = std::make_unique<SignatureMatcher>(*table_, head_);
  }
  int32_t Scan() {
    int32_t index = -1;
    matcher_->FindMatchingRule(&file_, &index);
    return index;
  }
  int32_t ByExtension(const char16_t* extension) {
    int32_t index = -1;
    matcher_->FindRuleByExtension(&file_, extension, &index);
    return index;
  }
  bool Matches(int32_t rule) { return matcher_->RuleMatchesFile(table_->rules[rule].get(), &file_); }

  static std::unique_ptr<RuleTable> Table(const std::u16string& text) {
    auto table = std::make_unique<RuleTable>();
    ParseRuleText(*table, text.c_str());
    return table;
  }

  TempDir dir_;
  std::unique_ptr<RuleTable> shipped_ = testing::ShippedTable();
  const RuleTable* table_ = nullptr;
  platform::File file_;
  FileHead head_;
  std::unique_ptr<SignatureMatcher> matcher_;
};

std::string Riff(const char* form) { return std::string("RIFF\x24\x08\0\0", 8) + form + std::string(64, '\x01'); }

TEST_F(Match, TheRuleNamedByTheExtensionDecidesAlone) {
  Load("MZ\x90\0\3\0\0\0");
  int32_t index = 77;
  EXPECT_EQ(matcher_->FindRuleByExtension(&file_, u".avi", &index), 0);
  EXPECT_EQ(index, 77);  // untouched when nothing is found
  EXPECT_EQ(Scan(), 10);
  EXPECT_EQ(ByExtension(u".exe"), 10);
  EXPECT_EQ(ByExtension(u".EXE"), -1);  // extensions compare exactly
  EXPECT_EQ(ByExtension(u".nothing"), -1);
}

TEST_F(Match, TheScanTakesTheFirstMatchingRuleInTableOrder) {
  Load(Riff("WAVEfmt "));
  EXPECT_EQ(Scan(), 31);
  Load(Riff("AVI LIST"));
  EXPECT_EQ(Scan(), 20);
  Load(std::string("ID3\x04\0\0\0\0\0\x21", 10) + std::string(40, 'x'));
  EXPECT_EQ(Scan(), 16);
  EXPECT_TRUE(Matches(22));  // the MPEG rule would hold too; the earlier MP3 rule wins
  Load("CWS\x09....");
  EXPECT_EQ(ByExtension(u".flv"), 25);
  Load("<SAMI>");
  EXPECT_EQ(ByExtension(u".smi"), -1);
  EXPECT_EQ(Scan(), 32);  // rules without extensions are reached by the scan only
}

TEST_F(Match, TailTestsReadTheLastBytesOfTheFile) {
  const std::string torrent = "d8:announce35:udp://tracker.example:80/announcee";
  Load(torrent);
  EXPECT_EQ(ByExtension(u".torrent"), 8);
  Load(torrent + "\n");
  EXPECT_NE(Scan(), 8);
  EXPECT_FALSE(Matches(8));

  // A tail test on a file shorter than its count compares zeros.
  auto zeros = Table(u".z;2;Z;-1,8,,0000000000000000\r\n.n;2;N;-1,8,,0000000000000001");
  Load("abc", zeros.get());
  EXPECT_TRUE(Matches(0));
  EXPECT_FALSE(Matches(1));

  // The mask applies to the bytes read from the end as it does to the head.
  auto masked = Table(u".m;2;M;-1,1,0F,01");
  Load("x\x31", masked.get());
  EXPECT_TRUE(Matches(0));
}

TEST_F(Match, HeadTestsNeverReachPastTheHead) {
  auto table = Table(u".a;2;A;0,0,,,1,1,,42\r\n.b;2;B;2,2,,0000\r\n.c;2;C;4095,1,,00\r\n"
                     u".d;2;D;-2,1,,00\r\n.e;2;E;5000,0,,,0,0,,,\r\n.f;2;F;1,2,FF00,4200");
  Load("AB", table.get());
  EXPECT_TRUE(Matches(0));   // count 0 holds; byte 1 is 'B'
  EXPECT_FALSE(Matches(1));  // bytes 2-3 are beyond a 2-byte head, not zeros
  EXPECT_FALSE(Matches(2));
  EXPECT_FALSE(Matches(3));  // an offset of -2 is a head test far past any head
  EXPECT_TRUE(Matches(4));   // count 0 holds wherever it points
  EXPECT_FALSE(Matches(5));  // one byte past the head, even where its mask ignores it

  Load(std::string(5000, '\0'), table.get());
  EXPECT_TRUE(Matches(2));   // byte 4095 is the head's last
}

TEST_F(Match, RulesThatCanNeverMatch) {
  for (const char* head : {"[Ann", "[ann", "[Ref", "[ref", "[ANN"}) {
    Load(head);
    EXPECT_FALSE(Matches(35)) << head;  // the masks clear bits the values need
  }
  auto table = Table(u".x;2;Empty\r\n.x;2;Later;0,1,,41\r\n;2;Any;0,1,,41");
  Load("A", table.get());
  EXPECT_EQ(ByExtension(u".x"), -1);  // a rule without patterns decides ".x" and fails
  EXPECT_EQ(Scan(), 1);
}

TEST_F(Match, NoFileNoMatch) {
  Load("MZ");
  platform::File closed;
  int32_t index = -1;
  EXPECT_EQ(matcher_->RuleMatchesFile(shipped_->rules[10].get(), &closed), 0);
  EXPECT_EQ(matcher_->RuleMatchesFile(nullptr, &file_), 0);
  EXPECT_EQ(matcher_->FindMatchingRule(nullptr, &index), 0);
  EXPECT_EQ(matcher_->FindRuleByExtension(&file_, nullptr, &index), 0);
  EXPECT_EQ(index, -1);
}

}  // namespace
}  // namespace kindprobe
