#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/directory.h"
#include "platform/utf.h"

namespace kindprobe::platform {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

EntryKind KindFromMode(mode_t mode) {
  if (S_ISDIR(mode)) return EntryKind::kDirectory;
  if (S_ISLNK(mode)) return EntryKind::kSymbolicLink;
  if (S_ISREG(mode)) return EntryKind::kRegularFile;
  return EntryKind::kOther;
}

OpenStatus Failure(int code) {
  const bool outOfDescriptors = code == EMFILE || code == ENFILE;
  return {outOfDescriptors ? OpenStatus::Reason::kOutOfDescriptors : OpenStatus::Reason::kSystem,
          code};
}

int OpenDirectoryAt(int at, const char* name, bool followLinks, OpenStatus* status) {
  const int flags =
      O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (followLinks ? 0 : O_NOFOLLOW);
  int fd;
  do {
    fd = ::openat(at, name, flags);
  } while (fd < 0 && errno == EINTR);
  *status = fd < 0 ? Failure(errno) : OpenStatus{};
  return fd;
}

}  // namespace

Directory::~Directory() {
  if (fd_ >= 0) ::close(fd_);
}

Directory::Directory(Directory&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

Directory& Directory::operator=(Directory&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

Directory Directory::Open(const std::u16string& path, OpenStatus* status) {
  Directory directory;
  directory.fd_ = OpenDirectoryAt(AT_FDCWD, Utf16ToUtf8(path).c_str(), true, status);
  return directory;
}

Directory Directory::OpenChild(const std::u16string& name, bool followLinks,
                               OpenStatus* status) const {
  Directory child;
  child.fd_ = OpenDirectoryAt(fd_, Utf16ToUtf8(name).c_str(), followLinks, status);
  return child;
}

File Directory::OpenFile(const std::u16string& name, bool followLinks, OpenStatus* status,
                         EntryKind listedAs) const {
  return File::OpenAt(fd_, Utf16ToUtf8(name).c_str(), followLinks,
                      listedAs != EntryKind::kRegularFile, status);
}

bool Directory::IsOpen() const { return fd_ >= 0; }

bool Directory::List(std::vector<DirectoryEntry>* entries, int* error) const {
  entries->clear();
  // The stream gets its own descriptor, so that this one stays usable for opening children.
  const int listFd = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0) {
    *error = errno;
    return false;
  }
  std::unique_ptr<DIR, DirCloser> dir(::fdopendir(listFd));
  if (!dir) {
    *error = errno;
    ::close(listFd);
    return false;
  }
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) break;
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    DirectoryEntry out;
    out.name = Utf8ToUtf16(name);
    switch (entry->d_type) {
      case DT_DIR:
        out.kind = EntryKind::kDirectory;
        break;
      case DT_LNK:
        out.kind = EntryKind::kSymbolicLink;
        break;
      case DT_REG:
        out.kind = EntryKind::kRegularFile;
        break;
      case DT_UNKNOWN: {
        // Some file systems do not fill in the type: ask for it without following links.
        struct stat st;
        if (::fstatat(fd_, name, &st, AT_SYMLINK_NOFOLLOW) == 0)
          out.kind = KindFromMode(st.st_mode);
        break;
      }
      default:
        out.kind = EntryKind::kOther;
        break;
    }
    entries->push_back(std::move(out));
  }
  *error = errno;
  return errno == 0;
}

std::optional<FileIdentity> Directory::Identity() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

uint64_t Directory::ListingSize() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0 || st.st_size < 0) return 0;
  return static_cast<uint64_t>(st.st_size);
}

EntryKind Directory::KindBehindLink(const std::u16string& name) const {
  struct stat st;
  if (::fstatat(fd_, Utf16ToUtf8(name).c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode)) {
    return EntryKind::kDirectory;
  }
  return EntryKind::kOther;
}

bool IsDirectory(const std::u16string& path) {
  struct stat st;
  return ::stat(Utf16ToUtf8(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace kindprobe::platform
