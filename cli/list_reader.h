// Paths read from a list: one per line, or separated by NUL bytes.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kindprobe::cli {

class ListReader {
 public:
  // `stream` stays owned by the caller and must outlive the reader; it is read through its
  // file, not through stdio, so that entries are handed out as soon as they arrive on a pipe.
  ListReader(std::FILE* stream, bool nulSeparated);

  // The next non-empty entry, converted from UTF-8 (undecodable bytes kept). False at the end.
  bool Next(std::u16string* path);
  // Whether Next can answer from what has been read already, without reading again.
  bool HasCompleteEntry() const;
  // Whether reading stopped on an error rather than at the end of the list.
  bool failed() const { return failed_; }

 private:
  bool Refill();

  std::FILE* stream_;
  char separator_;
  std::vector<char> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
  bool atEnd_ = false;
  bool failed_ = false;
};

}  // namespace kindprobe::cli
