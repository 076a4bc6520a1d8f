#include <dirent.h>
#include <sched.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli/file_system.h"
#include "platform/utf.h"

namespace kindprobe::cli {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

EntryKind KindFromMode(mode_t mode) {
  if (S_ISDIR(mode)) return EntryKind::kDirectory;
  if (S_ISLNK(mode)) return EntryKind::kSymbolicLink;
  return EntryKind::kOther;
}

}  // namespace

bool ListDirectory(const std::u16string& directory, std::vector<DirectoryEntry>* entries) {
  entries->clear();
  const std::string native = platform::Utf16ToUtf8(directory);
  std::unique_ptr<DIR, DirCloser> dir(::opendir(native.c_str()));
  if (!dir) return false;
  const int dirFd = ::dirfd(dir.get());
  while (const dirent* entry = ::readdir(dir.get())) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    DirectoryEntry out;
    out.name = platform::Utf8ToUtf16(name);
    switch (entry->d_type) {
      case DT_DIR: out.kind = EntryKind::kDirectory; break;
      case DT_LNK: out.kind = EntryKind::kSymbolicLink; break;
      case DT_UNKNOWN: {
        // Some file systems do not fill in the type: ask for it without following links.
        struct stat st;
        if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) out.kind = KindFromMode(st.st_mode);
        break;
      }
      default: out.kind = EntryKind::kOther; break;
    }
    entries->push_back(std::move(out));
  }
  return true;
}

bool IsDirectory(const std::u16string& path) {
  struct stat st;
  return ::stat(platform::Utf16ToUtf8(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<DirectoryIdentity> IdentifyDirectory(const std::u16string& path) {
  struct stat st;
  if (::stat(platform::Utf16ToUtf8(path).c_str(), &st) != 0) return std::nullopt;
  return DirectoryIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

char16_t PreferredSeparator() { return u'/'; }
bool IsPathSeparator(char16_t c) { return c == u'/'; }

void FileCloser::operator()(std::FILE* file) const { std::fclose(file); }

FilePtr OpenListFile(const std::u16string& path) {
  return FilePtr(std::fopen(platform::Utf16ToUtf8(path).c_str(), "rb"));
}

std::FILE* BinaryStandardInput() { return stdin; }
std::FILE* BinaryStandardOutput() { return stdout; }

long ReadAvailable(std::FILE* stream, void* buffer, size_t size) {
  ssize_t got;
  do {
    got = ::read(::fileno(stream), buffer, size);
  } while (got < 0 && errno == EINTR);
  return static_cast<long>(got);
}

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

uint32_t ProcessorCount() {
#ifdef __linux__
  // The processors this process may run on, which a container or taskset may limit.
  cpu_set_t allowed;
  if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
    const int count = CPU_COUNT(&allowed);
    if (count > 0) return static_cast<uint32_t>(count);
  }
#endif
  const long count = ::sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<uint32_t>(count) : 1;
}

std::optional<std::u16string> EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return platform::Utf8ToUtf16(value);
}

}  // namespace kindprobe::cli
