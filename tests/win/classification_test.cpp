// Classification through the DLL on real files: non-ASCII names, both separators, files that
// another handle holds open for writing, and things that are not files.
#include <gtest/gtest.h>

#include <string>

#include "kindprobe_dll.h"
#include "test_files.h"

namespace kindprobe::wintest {
namespace {

std::wstring WithForwardSlashes(std::wstring path) {
  for (wchar_t& c : path) {
    if (c == L'\\') c = L'/';
  }
  return path;
}

class Classification : public ::testing::Test {
 protected:
  void SetUp() override {
    checker_ = KindprobeDll::Get().CreateCheckFile();
    ASSERT_TRUE(checker_);
  }

  void ExpectResult(const std::wstring& path, long typeId, const wchar_t* description) {
    SCOPED_TRACE(::testing::Message() << "path length " << path.size());
    EXPECT_EQ(typeId, CheckPath(checker_.get(), path));
    EXPECT_EQ(description, ErrorInfoOf(checker_.get()));
  }

  TestDirectory dir_;
  ComPtr<ICheckFile> checker_;
};

TEST_F(Classification, RuleTextIsWidenedFromGbkWhateverTheAnsiCodePage) {
  // The harness runs Wine with its default Western code page; the Chinese descriptions below
  // only come out right if the rule text is not read through it.
  EXPECT_EQ(1252u, ::GetACP());
  ExpectResult(dir_.Write(L"clip.avi", AviBytes()), 4, kAviText);
  ExpectResult(dir_.Write(L"notes.txt", PlainTextBytes()), 2, kTextFileText);
}

TEST_F(Classification, NonAsciiNamesAndBothSeparators) {
  const std::wstring avi = dir_.Write(L"电影目录\\第一集 影片.avi", AviBytes());
  ExpectResult(avi, 4, kAviText);
  ExpectResult(WithForwardSlashes(avi), 4, kAviText);
  const std::wstring mp3 = dir_.Write(L"Ünïcødé ñame — 歌.mp3", Mp3Bytes());
  ExpectResult(mp3, 4, kMp3Text);
  ExpectResult(WithForwardSlashes(mp3), 4, kMp3Text);
  // A media file under a misleading name is still found by the scan of all rules.
  ExpectResult(dir_.Write(L"Ελληνικά\\clip.txt", AviBytes()), 4, kAviText);
}

TEST_F(Classification, SpecialNamesWinOverContent) {
  ExpectResult(dir_.Write(L"空.lnk", {}), 3, kZeroByteText);
  ExpectResult(dir_.Write(L"下载中\\Movie.PART", AviBytes()), 2, kDownloadText);
  ExpectResult(dir_.Write(L"快捷方式.lnk", UnknownBytes()), 2, kShortcutText);
  ExpectResult(dir_.Write(L"dir.old\\readme", PlainTextBytes()), 2, kTextFileText);
  ExpectResult(dir_.Write(L"blob", UnknownBytes()), 0, kUnknownText);
}

TEST_F(Classification, ThingsThatCannotBeExaminedGiveTheUnknownResult) {
  ExpectResult(dir_.path() + L"\\no such file.avi", 0, kUnknownText);
  ExpectResult(dir_.MakeDirectory(L"folder.avi"), 0, kUnknownText);
  ExpectResult(L"", 0, kUnknownText);
}

TEST_F(Classification, NeverWaitsOnAPipe) {
  // A pipe whose server never writes: reading it would block the check forever.
  const std::wstring name = L"\\\\.\\pipe\\kindprobe-test-" + std::to_wstring(::GetCurrentProcessId());
  const platform::win32::UniqueFileHandle server(
      ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX,
                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0,
                         nullptr));
  ASSERT_TRUE(server);
  ExpectResult(name, 0, kUnknownText);
}

TEST_F(Classification, FilesHeldOpenForWritingAreStillExamined) {
  // As a downloader holds its file: written to, shared with readers only.
  const std::wstring part = dir_.Write(L"下载\\电影.avi.part", AviBytes());
  const std::wstring avi = dir_.Write(L"下载\\电影.avi", AviBytes());
  OpenWriter partWriter(part);
  OpenWriter aviWriter(avi, FILE_SHARE_READ | FILE_SHARE_DELETE);
  ASSERT_TRUE(partWriter.ok() && aviWriter.ok());
  ExpectResult(part, 2, kDownloadText);
  ExpectResult(avi, 4, kAviText);
}

TEST_F(Classification, AWriterThatSharesNothingKeepsTheCheckOut) {
  const std::wstring avi = dir_.Write(L"clip.avi", AviBytes());
  {
    OpenWriter exclusive(avi, 0);
    ASSERT_TRUE(exclusive.ok());
    ExpectResult(avi, 0, kUnknownText);
  }
  ExpectResult(avi, 4, kAviText);
}

}  // namespace
}  // namespace kindprobe::wintest
