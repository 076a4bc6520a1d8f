// What the command line needs from the operating system beyond the engine's own seam: walking
// directories, reading path lists, the terminal and the processor count. One POSIX and one
// Win32 implementation behind the same declarations.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kindprobe::cli {

enum class EntryKind { kDirectory, kSymbolicLink, kOther };

struct DirectoryEntry {
  std::u16string name;
  EntryKind kind = EntryKind::kOther;
};

// A directory's identity, to notice a walk that loops through followed links.
struct DirectoryIdentity {
  uint64_t device = 0;
  uint64_t node = 0;
  friend bool operator==(const DirectoryIdentity&, const DirectoryIdentity&) = default;
};

// The entries of `directory` without "." and "..", unsorted. False when it cannot be read.
bool ListDirectory(const std::u16string& directory, std::vector<DirectoryEntry>* entries);

// Whether `path` names a directory, following symbolic links.
bool IsDirectory(const std::u16string& path);

// The identity of the directory at `path` (links followed), if it can be had.
std::optional<DirectoryIdentity> IdentifyDirectory(const std::u16string& path);

// The separator appended when joining a directory and a name.
char16_t PreferredSeparator();
bool IsPathSeparator(char16_t c);

struct FileCloser {
  void operator()(std::FILE* file) const;
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens a path list for binary reading.
FilePtr OpenListFile(const std::u16string& path);
// Standard input, switched to binary so that NULs and line ends arrive as written.
std::FILE* BinaryStandardInput();
// Standard output, switched to binary: results are written as UTF-8 bytes whatever the locale.
std::FILE* BinaryStandardOutput();

// Reads what `stream`'s file has for us now, up to `size` bytes, without waiting for more once
// something has arrived (unlike fread, which waits until the request is full). Bypasses the
// stream's own buffer, so the stream must not also be read through stdio. Returns the count,
// 0 at the end, -1 on an error.
long ReadAvailable(std::FILE* stream, void* buffer, size_t size);

bool IsTerminal(std::FILE* stream);
uint32_t ProcessorCount();

// The value of an environment variable, if it is set.
std::optional<std::u16string> EnvironmentVariable(const char* name);

}  // namespace kindprobe::cli
