// The player's cache directory, read from a real StorePath value in the registry.
#include <gtest/gtest.h>

#include <string>

#include "kindprobe_dll.h"
#include "store_path_value.h"
#include "test_files.h"

namespace kindprobe::wintest {
namespace {

class PlayerCache : public ::testing::Test {
 protected:
  void SetUp() override {
    checker_ = KindprobeDll::Get().CreateCheckFile();
    ASSERT_TRUE(checker_);
    store_ = dir_.MakeDirectory(L"播放器\\Store");
    cached_ = dir_.Write(L"播放器\\Store\\VODCache\\片段0001.dat", UnknownBytes());
    outside_ = dir_.Write(L"播放器\\Other\\片段0001.dat", UnknownBytes());
  }

  TestDirectory dir_;
  ComPtr<ICheckFile> checker_;
  std::wstring store_;
  std::wstring cached_;
  std::wstring outside_;
};

TEST_F(PlayerCache, DatFilesInTheCacheDirectoryAreCacheFiles) {
  // Blanks around the value and a trailing separator are the player's, not part of the path.
  StorePathValue value(L" \t" + store_ + L"\\ ");
  ASSERT_TRUE(value.ok());
  EXPECT_EQ(1, CheckPath(checker_.get(), cached_));
  EXPECT_EQ(kCacheText, ErrorInfoOf(checker_.get()));

  std::wstring otherCase = cached_;
  for (wchar_t& c : otherCase) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  EXPECT_EQ(1, CheckPath(checker_.get(), otherCase));

  EXPECT_EQ(0, CheckPath(checker_.get(), outside_));
  EXPECT_EQ(kUnknownText, ErrorInfoOf(checker_.get()));
}

TEST_F(PlayerCache, WithoutTheValueDatFilesAreOrdinaryFiles) {
  EXPECT_EQ(0, CheckPath(checker_.get(), cached_));
  const std::wstring textDat = dir_.Write(L"播放器\\Store\\VODCache\\notes.dat", PlainTextBytes());
  EXPECT_EQ(2, CheckPath(checker_.get(), textDat));
  EXPECT_EQ(kTextFileText, ErrorInfoOf(checker_.get()));
}

TEST_F(PlayerCache, AValueWithoutRoomForItsTerminatorIsNotUsed) {
  // The store path padded with separators to fill the whole buffer, with no terminator: read as
  // if it were terminated, it would name the cache directory.
  std::wstring full = store_;
  full.resize(kStorePathUnits, L'\\');
  StorePathValue value(full.data(), static_cast<DWORD>(full.size() * sizeof(wchar_t)));
  ASSERT_TRUE(value.ok());
  EXPECT_EQ(0, CheckPath(checker_.get(), cached_));
  EXPECT_EQ(kUnknownText, ErrorInfoOf(checker_.get()));
}

}  // namespace
}  // namespace kindprobe::wintest
