#include "test_files.h"

#include <atomic>

#include "kindprobe_dll.h"

namespace kindprobe::wintest {
namespace {

std::vector<uint8_t> Padded(std::vector<uint8_t> head, size_t size) {
  head.resize(size, 0);
  return head;
}

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        ::DeleteFileW(child.c_str());
      }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  ::RemoveDirectoryW(path.c_str());
}

}  // namespace

std::vector<uint8_t> AviBytes() {
  return Padded({'R', 'I', 'F', 'F', 0x24, 0x10, 0, 0, 'A', 'V', 'I', ' ', 'L', 'I', 'S', 'T'}, 600);
}

std::vector<uint8_t> Mp3Bytes() { return Padded({'I', 'D', '3', 3, 0, 0, 0, 0, 0x0f, 0x76}, 300); }

std::vector<uint8_t> PlainTextBytes() {
  const std::string text = "line one\r\nline two\twith a tab\r\n";
  return {text.begin(), text.end()};
}

std::vector<uint8_t> UnknownBytes() { return {0x13, 0x37, 0x07, 0x00, 0xfe, 0xed, 0x00, 0x01}; }

TestDirectory::TestDirectory() {
  // Test programs of several Wine prefixes share this folder at the same time, and process ids
  // repeat across prefixes (each has a server of its own): a name that exists may be another
  // test's, so it is never removed or reused; the next one is tried.
  static std::atomic<int> counter{0};
  const std::wstring stem =
      ProgramDirectory() + L"\\work-" + std::to_wstring(::GetCurrentProcessId()) + L"-";
  do {
    path_ = stem + std::to_wstring(counter++);
  } while (!::CreateDirectoryW(path_.c_str(), nullptr) && ::GetLastError() == ERROR_ALREADY_EXISTS);
}

TestDirectory::~TestDirectory() { RemoveTree(path_); }

std::wstring TestDirectory::MakeDirectory(const std::wstring& relative) const {
  std::wstring full = path_;
  size_t start = 0;
  while (start <= relative.size()) {
    const size_t end = relative.find(L'\\', start);
    full += L"\\" + relative.substr(start, end - start);
    ::CreateDirectoryW(full.c_str(), nullptr);
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return full;
}

std::wstring TestDirectory::Write(const std::wstring& relative,
                                  const std::vector<uint8_t>& bytes) const {
  const size_t slash = relative.find_last_of(L'\\');
  if (slash != std::wstring::npos) MakeDirectory(relative.substr(0, slash));
  const std::wstring full = path_ + L"\\" + relative;
  HANDLE file = ::CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    if (!bytes.empty()) {
      ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    ::CloseHandle(file);
  }
  return full;
}

OpenWriter::OpenWriter(const std::wstring& path, DWORD share)
    : handle_(::CreateFileW(path.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}

OpenWriter::~OpenWriter() {
  if (ok()) ::CloseHandle(handle_);
}

}  // namespace kindprobe::wintest
