// The one file the engine reads: opened for reading, never written.
#pragma once

#include <cstdint>

namespace kindprobe::platform {

class Directory;

// Why a file could not be opened for reading.
struct OpenStatus {
  enum class Reason { kNone, kSystem, kDirectory, kNotRegularFile, kOutOfDescriptors };
  Reason reason = Reason::kNone;
  // The system's error number (errno, or GetLastError on Windows) for kSystem and
  // kOutOfDescriptors.
  int code = 0;
};

// An open file, or none (the platform's invalid handle). Closes itself.
class File {
 public:
  File() = default;
  ~File() { Close(); }
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing regular file for reading. Other openers keep every right: a downloader
  // that still writes the file, or a player that deletes it, is never refused while we look.
  // Anything that is not a regular file (directory, FIFO, device) gives no file.
  static File OpenForReading(const char16_t* path);
  // The same, saying why when no file is given. The path is looked at before it is opened, so
  // that a device whose opening has side effects (a tape rewinds, a modem hangs up) is never
  // opened.
  static File OpenForReading(const char16_t* path, OpenStatus* status);
  // A pipe or FIFO read to its end as if it were a file: `path` null is standard input. What
  // is kept is the first `headBytes` and the last `tailBytes`, each at its own offset in a file
  // as long as the stream was, zero between them; nothing else of the stream can be read back.
  // Anything that is not a pipe or FIFO gives no file (kNotRegularFile). Not on Windows.
  static File ReadStream(const char16_t* path, uint32_t headBytes, uint32_t tailBytes,
                         OpenStatus* status);
#ifndef _WIN32
  // A file of its own for the open descriptor `fd`, which stays its caller's: a duplicate, and
  // reads are positional, so its offset does not move. Anything but a regular file gives none.
  static File Duplicate(int fd, OpenStatus* status);
#endif

  bool IsOpen() const;
  // Whether this is what ReadStream kept of a stream: only its head and tail hold its bytes.
  bool IsStreamCopy() const;
  // The full 64-bit size (on POSIX, the size the file had when it was opened).
  bool Size(uint64_t* size) const;
  bool SeekToStart();
  // Moves the read position to `distance` bytes from the end (negative: before it).
  bool SeekFromEnd(int64_t distance);
  // Reads up to `size` bytes at the read position and advances it.
  bool Read(void* buffer, uint32_t size, uint32_t* bytesRead);
  void Close();

 private:
  friend class Directory;  // opens files relative to an open directory

#ifdef _WIN32
  // Opens `path`, looking at it first when `lookFirst`.
  static File Open(const char16_t* path, bool lookFirst, OpenStatus* status);

  void* handle_ = nullptr;  // null or INVALID_HANDLE_VALUE: no file
#else
  // Opens `name` relative to the open directory `directoryFd` (AT_FDCWD: the working
  // directory), looking at it first when `lookFirst`.
  static File OpenAt(int directoryFd, const char* name, bool followLinks, bool lookFirst,
                     OpenStatus* status);

  int fd_ = -1;
  uint64_t size_ = 0;      // taken when the file is opened: one fstat per file, not three
  uint64_t position_ = 0;  // reads are positional: seeking costs no system call
  bool streamCopy_ = false;
#endif
};

}  // namespace kindprobe::platform
