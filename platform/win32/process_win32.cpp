#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/process.h"
#include "platform/utf.h"

namespace kindprobe::platform {
namespace {

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

}  // namespace

char16_t PreferredSeparator() { return u'\\'; }
bool IsPathSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

void FileCloser::operator()(std::FILE* file) const { std::fclose(file); }

FilePtr OpenListFile(const std::u16string& path, int* error) {
  FilePtr file(::_wfopen(Wide(path), L"rb"));
  *error = file ? 0 : errno;
  return file;
}

std::FILE* BinaryStandardInput() {
  ::_setmode(::_fileno(stdin), _O_BINARY);
  return stdin;
}

std::FILE* BinaryStandardOutput() {
  ::_setmode(::_fileno(stdout), _O_BINARY);
  return stdout;
}

// Windows never hands a closed standard stream's number to a file opened later.
void HoldClosedStandardStreams() {}

long ReadAvailable(std::FILE* stream, void* buffer, size_t size) {
  const unsigned request = static_cast<unsigned>(std::min<size_t>(size, 1u << 30));
  return ::_read(::_fileno(stream), buffer, request);
}

bool IsTerminal(std::FILE* stream) { return ::_isatty(::_fileno(stream)) != 0; }

uint32_t ProcessorCount() {
  SYSTEM_INFO info;
  ::GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}

// Kernel handles have no small per-process limit.
std::optional<uint64_t> OpenFileLimit() { return std::nullopt; }

std::optional<std::u16string> EnvironmentVariable(const char* name) {
  const std::wstring wideName(name, name + std::char_traits<char>::length(name));
  const DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::u16string value(size, u'\0');
  const DWORD length =
      ::GetEnvironmentVariableW(wideName.c_str(), reinterpret_cast<wchar_t*>(value.data()), size);
  if (length >= size) return std::nullopt;
  value.resize(length);
  return value;
}

std::string ErrorText(int code) {
  wchar_t text[512];
  DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(code), 0, text, 512, nullptr);
  // Messages end in a full stop and a line end, which do not belong inside our parentheses.
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' ||
                        text[length - 1] == L'.' || text[length - 1] == L' ')) {
    --length;
  }
  if (length == 0) return "error " + std::to_string(code);
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

}  // namespace kindprobe::platform
