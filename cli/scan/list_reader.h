// Paths read from lists: one per line, or separated by NUL bytes.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/process.h"

namespace kindprobe::cli {

// The longest list entry taken; longer ones are skipped without being held whole, so that a
// list without separators cannot take all memory. Far beyond any path a system opens.
inline constexpr size_t kMaxListEntryBytes = 64 * 1024;

class ListReader {
 public:
  // `stream` stays owned by the caller and must outlive the reader; it is read through its
  // file, not through stdio, so that entries are handed out as soon as they arrive on a pipe.
  ListReader(std::FILE* stream, bool nulSeparated);

  // The next non-empty entry, converted from UTF-8 (undecodable bytes kept). In line mode one
  // CR before the line end is dropped: lists written on Windows. False at the end.
  bool Next(std::u16string* path);
  // Whether Next can answer from what has been read already, without reading again.
  bool HasCompleteEntry() const;
  // Whether reading stopped on an error rather than at the end of the list, and its errno.
  bool failed() const { return failed_; }
  int error() const { return error_; }
  // How many entries were skipped for being longer than kMaxListEntryBytes.
  size_t tooLong() const { return tooLong_; }

 private:
  bool Refill();
  // Drops bytes up to and including the next separator.
  void SkipEntry();

  std::FILE* stream_;
  char separator_;
  std::vector<char> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
  bool atEnd_ = false;
  bool failed_ = false;
  int error_ = 0;
  size_t tooLong_ = 0;
};

// The lists of a run (-f, as often as given), read one after another; "-" is standard input.
class ListSequence {
 public:
  ListSequence(std::vector<std::u16string> names, bool nulSeparated);

  // The next entry of the current list or of the lists after it. False at the end of the last
  // one, and at the first list that cannot be opened or read to its end: see trouble().
  bool Next(std::u16string* path);
  bool HasCompleteEntry() const;
  // What stopped the lists early, as a line without the line end; empty when nothing did.
  const std::string& trouble() const { return trouble_; }
  // Entries skipped for their length, over every list read.
  size_t tooLong() const { return tooLong_; }

 private:
  // Closes the current list, noting its trouble. False if it had some.
  bool FinishCurrent();

  std::vector<std::u16string> names_;
  bool nulSeparated_;
  size_t nextName_ = 0;
  platform::FilePtr file_;
  std::optional<ListReader> current_;
  std::u16string currentName_;
  std::string trouble_;
  size_t tooLong_ = 0;
};

}  // namespace kindprobe::cli
