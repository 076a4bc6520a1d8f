#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "cli/file_system.h"

namespace kindprobe::cli {
namespace {

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

struct FindCloser {
  void operator()(HANDLE handle) const { ::FindClose(handle); }
};

struct HandleCloser {
  void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};

}  // namespace

bool ListDirectory(const std::u16string& directory, std::vector<DirectoryEntry>* entries) {
  entries->clear();
  std::u16string pattern = directory;
  if (!pattern.empty() && !IsPathSeparator(pattern.back())) pattern += u'\\';
  pattern += u'*';
  WIN32_FIND_DATAW data;
  HANDLE raw = ::FindFirstFileExW(Wide(pattern), FindExInfoBasic, &data, FindExSearchNameMatch,
                                  nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (raw == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  std::unique_ptr<void, FindCloser> find(raw);
  do {
    const std::u16string name(reinterpret_cast<const char16_t*>(data.cFileName));
    if (name == u"." || name == u"..") continue;
    DirectoryEntry entry;
    entry.name = name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      entry.kind = EntryKind::kSymbolicLink;
    } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      entry.kind = EntryKind::kDirectory;
    }
    entries->push_back(std::move(entry));
  } while (::FindNextFileW(raw, &data));
  return ::GetLastError() == ERROR_NO_MORE_FILES;
}

bool IsDirectory(const std::u16string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<DirectoryIdentity> IdentifyDirectory(const std::u16string& path) {
  HANDLE raw = ::CreateFileW(Wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (raw == INVALID_HANDLE_VALUE) return std::nullopt;
  std::unique_ptr<void, HandleCloser> handle(raw);
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(raw, &info)) return std::nullopt;
  return DirectoryIdentity{info.dwVolumeSerialNumber,
                           (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

char16_t PreferredSeparator() { return u'\\'; }
bool IsPathSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

void FileCloser::operator()(std::FILE* file) const { std::fclose(file); }

FilePtr OpenListFile(const std::u16string& path) { return FilePtr(::_wfopen(Wide(path), L"rb")); }

std::FILE* BinaryStandardInput() {
  ::_setmode(::_fileno(stdin), _O_BINARY);
  return stdin;
}

std::FILE* BinaryStandardOutput() {
  ::_setmode(::_fileno(stdout), _O_BINARY);
  return stdout;
}

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

std::optional<std::u16string> EnvironmentVariable(const char* name) {
  const std::wstring wideName(name, name + std::char_traits<char>::length(name));
  const DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::u16string value(size, u'\0');
  const DWORD length = ::GetEnvironmentVariableW(
      wideName.c_str(), reinterpret_cast<wchar_t*>(value.data()), size);
  if (length >= size) return std::nullopt;
  value.resize(length);
  return value;
}

}  // namespace kindprobe::cli
