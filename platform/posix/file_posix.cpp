#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <utility>

#include "platform/file.h"
#include "platform/utf.h"

namespace kindprobe::platform {

File::File(File&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      size_(std::exchange(other.size_, 0)),
      position_(std::exchange(other.position_, 0)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    size_ = std::exchange(other.size_, 0);
    position_ = std::exchange(other.position_, 0);
  }
  return *this;
}

File File::OpenForReading(const char16_t* path) {
  OpenStatus ignored;
  return OpenForReading(path, &ignored);
}

File File::OpenForReading(const char16_t* path, OpenStatus* status) {
  if (path == nullptr || *path == u'\0') {
    *status = {OpenStatus::Reason::kSystem, ENOENT};
    return File();
  }
  return OpenAt(AT_FDCWD, Utf16ToUtf8(path).c_str(), true, true, status);
}

File File::OpenAt(int directoryFd, const char* name, bool followLinks, bool lookFirst,
                  OpenStatus* status) {
  File file;
  const auto fail = [&](OpenStatus::Reason reason, int code) {
    if (code == EMFILE || code == ENFILE) reason = OpenStatus::Reason::kOutOfDescriptors;
    *status = {reason, code};
    return File();
  };
  struct stat st;
  if (lookFirst) {
    const int noFollow = followLinks ? 0 : AT_SYMLINK_NOFOLLOW;
    if (::fstatat(directoryFd, name, &st, noFollow) != 0)
      return fail(OpenStatus::Reason::kSystem, errno);
    if (S_ISDIR(st.st_mode)) return fail(OpenStatus::Reason::kDirectory, 0);
    if (!S_ISREG(st.st_mode)) return fail(OpenStatus::Reason::kNotRegularFile, 0);
  }
  // O_NONBLOCK: should the name have been swapped for a FIFO since it was looked at or listed,
  // opening it must not wait for a writer. The fstat below refuses it then.
  const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (followLinks ? 0 : O_NOFOLLOW);
  int fd;
  do {
    fd = ::openat(directoryFd, name, flags);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return fail(OpenStatus::Reason::kSystem, errno);
  file.fd_ = fd;
  if (::fstat(fd, &st) != 0) return fail(OpenStatus::Reason::kSystem, errno);
  if (S_ISDIR(st.st_mode)) return fail(OpenStatus::Reason::kDirectory, 0);
  if (!S_ISREG(st.st_mode)) return fail(OpenStatus::Reason::kNotRegularFile, 0);
  file.size_ = static_cast<uint64_t>(st.st_size);
  *status = {};
  return file;
}

File File::Duplicate(int fd, OpenStatus* status) {
  const auto fail = [&](OpenStatus::Reason reason, int code) {
    if (code == EMFILE || code == ENFILE) reason = OpenStatus::Reason::kOutOfDescriptors;
    *status = {reason, code};
    return File();
  };
  const int mode = ::fcntl(fd, F_GETFL);
  if (mode < 0) return fail(OpenStatus::Reason::kSystem, errno);
  // Opened for writing only, it could not be read: the error reading would give.
  if ((mode & O_ACCMODE) == O_WRONLY) return fail(OpenStatus::Reason::kSystem, EBADF);
  struct stat st;
  if (::fstat(fd, &st) != 0) return fail(OpenStatus::Reason::kSystem, errno);
  if (S_ISDIR(st.st_mode)) return fail(OpenStatus::Reason::kDirectory, 0);
  if (!S_ISREG(st.st_mode)) return fail(OpenStatus::Reason::kNotRegularFile, 0);
  File file;
  file.fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (file.fd_ < 0) return fail(OpenStatus::Reason::kSystem, errno);
  file.size_ = static_cast<uint64_t>(st.st_size);
  *status = {};
  return file;
}

bool File::IsOpen() const { return fd_ >= 0; }

bool File::Size(uint64_t* size) const {
  if (fd_ < 0) return false;
  *size = size_;
  return true;
}

bool File::SeekToStart() {
  if (fd_ < 0) return false;
  position_ = 0;
  return true;
}

bool File::SeekFromEnd(int64_t distance) {
  uint64_t size;
  if (!Size(&size)) return false;
  // Before the start is an error, as on Windows; past the end is allowed.
  if (distance < 0 && static_cast<uint64_t>(-(distance + 1)) + 1 > size) return false;
  position_ = size + static_cast<uint64_t>(distance);
  return true;
}

bool File::Read(void* buffer, uint32_t size, uint32_t* bytesRead) {
  *bytesRead = 0;
  if (fd_ < 0) return false;
  if (position_ > static_cast<uint64_t>(LLONG_MAX)) return true;  // past any end: nothing
  ssize_t got;
  do {
    got = ::pread(fd_, buffer, size, static_cast<off_t>(position_));
  } while (got < 0 && errno == EINTR);
  if (got < 0) return false;
  position_ += static_cast<uint64_t>(got);
  *bytesRead = static_cast<uint32_t>(got);
  return true;
}

void File::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  size_ = 0;
  position_ = 0;
}

}  // namespace kindprobe::platform
