// Real files for the component to classify, in a directory of their own beside the test program
// (on Wine that is the Z: drive, the host's file system).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/unique_resource.h"
#include "temp_dir.h"

namespace kindprobe::wintest {

// The answers the component gives, as the player reads them.
inline constexpr const wchar_t* kUnknownText = L"未知类型";
inline constexpr const wchar_t* kZeroByteText = L"零字节文件";
inline constexpr const wchar_t* kDownloadText = L"下载临时文件";
inline constexpr const wchar_t* kShortcutText = L"Windows快捷方式";
inline constexpr const wchar_t* kTextFileText = L"文本文件";
inline constexpr const wchar_t* kCacheText = L"Cindra缓存文件";
inline constexpr const wchar_t* kAviText = L"AVI文件";
inline constexpr const wchar_t* kMp3Text = L"MP3文件";

// The heads of a few formats, padded with binary zeros so they never pass for text.
std::vector<uint8_t> AviBytes();
std::vector<uint8_t> Mp3Bytes();
std::vector<uint8_t> PlainTextBytes();
// Bytes that match no rule and are not text.
std::vector<uint8_t> UnknownBytes();

// A fresh directory beside the test program, removed with everything in it when the object
// goes; the shared temporary-directory owner with the wide paths the Windows tests use.
class TestDirectory {
 public:
  TestDirectory();

  const std::wstring& path() const { return path_; }
  // Writes `bytes` to `relative` (directories along the way are created) and returns the full
  // path.
  std::wstring Write(const std::wstring& relative, const std::vector<uint8_t>& bytes) const;
  std::wstring MakeDirectory(const std::wstring& relative) const;

 private:
  testsupport::TempDir directory_;
  std::wstring path_;
};

// Holds a file open for writing, as a downloader does while it fills the file.
class OpenWriter {
 public:
  explicit OpenWriter(const std::wstring& path, DWORD share = FILE_SHARE_READ);
  bool ok() const { return static_cast<bool>(handle_); }

 private:
  platform::win32::UniqueFileHandle handle_;
};

}  // namespace kindprobe::wintest
