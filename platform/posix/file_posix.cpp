#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/utf.h"

namespace kindprobe::platform {

File::File(File&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      size_(std::exchange(other.size_, 0)),
      position_(std::exchange(other.position_, 0)),
      streamCopy_(std::exchange(other.streamCopy_, false)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    size_ = std::exchange(other.size_, 0);
    position_ = std::exchange(other.position_, 0);
    streamCopy_ = std::exchange(other.streamCopy_, false);
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

namespace {

// Reads `fd` to its end: the first head.size() bytes into `head`, the last bytes into `tail` (a
// ring, oldest byte at *tailStart once it has wrapped). False, with errno, on a read error.
bool ReadToEnd(int fd, std::vector<uint8_t>& head, std::vector<uint8_t>& tail, uint64_t* total,
               size_t* tailStart) {
  uint8_t buffer[64 * 1024];
  *total = 0;
  *tailStart = 0;
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    for (ssize_t i = 0; i < got; ++i, ++*total) {
      if (*total < head.size()) head[*total] = buffer[i];
      if (!tail.empty()) {
        tail[*tailStart] = buffer[i];
        *tailStart = (*tailStart + 1) % tail.size();
      }
    }
  }
}

// Writes all of `bytes` at `offset` of `fd`.
bool WriteAt(int fd, const uint8_t* bytes, size_t count, uint64_t offset) {
  while (count > 0) {
    const ssize_t put = ::pwrite(fd, bytes, count, static_cast<off_t>(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes += put;
    count -= static_cast<size_t>(put);
    offset += static_cast<uint64_t>(put);
  }
  return true;
}

}  // namespace

File File::ReadStream(const char16_t* path, uint32_t headBytes, uint32_t tailBytes,
                      OpenStatus* status) {
  const auto fail = [&](OpenStatus::Reason reason, int code) {
    *status = {reason, code};
    return File();
  };
  int source = STDIN_FILENO;
  File opened;  // closes a named stream however this ends
  struct stat st;
  if (path != nullptr) {
    // Looked at first: a device is never opened.
    const std::string name = Utf16ToUtf8(path);
    if (::stat(name.c_str(), &st) != 0) return fail(OpenStatus::Reason::kSystem, errno);
    if (!S_ISFIFO(st.st_mode)) return fail(OpenStatus::Reason::kNotRegularFile, 0);
    // Opening a FIFO waits for its writer: that is what naming one asks for.
    do {
      source = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    } while (source < 0 && errno == EINTR);
    if (source < 0) return fail(OpenStatus::Reason::kSystem, errno);
    opened.fd_ = source;
  }
  if (::fstat(source, &st) != 0) return fail(OpenStatus::Reason::kSystem, errno);
  // Standard input redirected from a file: the file itself, read like any other.
  if (path == nullptr && S_ISREG(st.st_mode)) return Duplicate(source, status);
  if (!S_ISFIFO(st.st_mode)) return fail(OpenStatus::Reason::kNotRegularFile, 0);

  std::vector<uint8_t> head(headBytes);
  std::vector<uint8_t> tail(tailBytes);
  uint64_t total = 0;
  size_t tailStart = 0;
  if (!ReadToEnd(source, head, tail, &total, &tailStart)) {
    return fail(OpenStatus::Reason::kSystem, errno);
  }
  // The kept bytes at their offsets in a sparse file of the stream's length.
  File file;
  file.fd_ = ::memfd_create("kindprobe-stream", MFD_CLOEXEC);
  if (file.fd_ < 0) return fail(OpenStatus::Reason::kSystem, errno);
  const uint64_t kept = std::min<uint64_t>(total, tail.size());
  // Oldest byte first: once more than the ring holds was read, it is the one at tailStart.
  if (total >= tail.size()) {
    std::rotate(tail.begin(), tail.begin() + static_cast<std::ptrdiff_t>(tailStart), tail.end());
  }
  if (::ftruncate(file.fd_, static_cast<off_t>(total)) != 0 ||
      !WriteAt(file.fd_, head.data(), static_cast<size_t>(std::min<uint64_t>(total, head.size())), 0) ||
      !WriteAt(file.fd_, tail.data(), static_cast<size_t>(kept), total - kept)) {
    return fail(OpenStatus::Reason::kSystem, errno);
  }
  file.size_ = total;
  file.streamCopy_ = true;
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

bool File::IsStreamCopy() const { return fd_ >= 0 && streamCopy_; }

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
  streamCopy_ = false;
}

}  // namespace kindprobe::platform
