#include "test_files.h"

#include <exception>
#include <string_view>

#include "kindprobe_dll.h"

namespace kindprobe::wintest {
namespace {

std::vector<uint8_t> Padded(std::vector<uint8_t> head, size_t size) {
  head.resize(size, 0);
  return head;
}

}  // namespace

std::vector<uint8_t> AviBytes() {
  return Padded({'R', 'I', 'F', 'F', 0x24, 0x10, 0, 0, 'A', 'V', 'I', ' ', 'L', 'I', 'S', 'T'},
                600);
}

std::vector<uint8_t> Mp3Bytes() { return Padded({'I', 'D', '3', 3, 0, 0, 0, 0, 0x0f, 0x76}, 300); }

std::vector<uint8_t> PlainTextBytes() {
  const std::string text = "line one\r\nline two\twith a tab\r\n";
  return {text.begin(), text.end()};
}

std::vector<uint8_t> UnknownBytes() { return {0x13, 0x37, 0x07, 0x00, 0xfe, 0xed, 0x00, 0x01}; }

TestDirectory::TestDirectory()
    : directory_(ProgramDirectory()), path_(directory_.path().wstring()) {}

std::wstring TestDirectory::MakeDirectory(const std::wstring& relative) const {
  return directory_.MakeDirectory(relative).wstring();
}

std::wstring TestDirectory::Write(const std::wstring& relative,
                                  const std::vector<uint8_t>& bytes) const {
  const std::string_view content(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  // A file that cannot be written is the caller's to notice (some tests probe whether a name
  // can exist in the locale at all), so the path is answered either way.
  try {
    return directory_.Write(relative, content).wstring();
  } catch (const std::exception&) {
    return path_ + L"\\" + relative;
  }
}

OpenWriter::OpenWriter(const std::wstring& path, DWORD share)
    : handle_(::CreateFileW(path.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}

}  // namespace kindprobe::wintest
