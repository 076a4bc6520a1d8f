// Directories read and entered relative to open directories, so that a walk can go deeper than
// any path the system would accept whole, and opens each file where its directory is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"

namespace kindprobe::platform {

// What a directory's listing says an entry is. kRegularFile is as of the listing: by the time
// the file is opened it may have been replaced, which opening notices.
enum class EntryKind { kDirectory, kSymbolicLink, kRegularFile, kOther };

// Whether the paths of a list are worth opening through their directory, listed once, rather
// than each looked at by its whole path. POSIX opens relative to an open directory, so a file
// its listing shows as regular costs one system call fewer. Windows opens every file by its
// whole path anyway, and its paths have more forms than one separator can split.
#ifdef _WIN32
inline constexpr bool kOpenListedPathsThroughDirectory = false;
#else
inline constexpr bool kOpenListedPathsThroughDirectory = true;
#endif

struct DirectoryEntry {
  std::u16string name;
  EntryKind kind = EntryKind::kOther;
};

// What makes a directory the same one however it is reached: device and inode, or volume serial
// and file id.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t node = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

class Directory {
 public:
  Directory() = default;
  ~Directory();
  Directory(Directory&& other) noexcept;
  Directory& operator=(Directory&& other) noexcept;
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;

  // Opens the directory at `path`, links followed.
  static Directory Open(const std::u16string& path, OpenStatus* status);
  // Opens the subdirectory `name` of this one; a link is followed only when `followLinks`.
  Directory OpenChild(const std::u16string& name, bool followLinks, OpenStatus* status) const;
  // Opens the regular file `name` of this one. It is looked at before it is opened, so that
  // no device is ever opened, unless this directory's listing showed it as a regular file
  // (`listedAs`): then the look that follows the opening is enough.
  File OpenFile(const std::u16string& name, bool followLinks, OpenStatus* status,
                EntryKind listedAs = EntryKind::kOther) const;

  bool IsOpen() const;
  // The entries without "." and "..", unsorted. False when they cannot be read (the system's
  // error number in `error`).
  bool List(std::vector<DirectoryEntry>* entries, int* error) const;
  std::optional<FileIdentity> Identity() const;
  // The size the file system gives the directory, which grows with its entries (bytes of
  // entries, or a count times a constant); 0 when unknown. It says what listing would cost.
  uint64_t ListingSize() const;
  // What the link `name` in this directory leads to: a directory, or something else (including
  // nothing).
  EntryKind KindBehindLink(const std::u16string& name) const;

 private:
#ifdef _WIN32
  std::u16string path_;  // empty: none; Windows opens children by their full path
#else
  int fd_ = -1;
#endif
};

// Whether `path` names a directory, following links.
bool IsDirectory(const std::u16string& path);

}  // namespace kindprobe::platform
