#include "cli/list_reader.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "cli/file_system.h"
#include "platform/utf.h"

namespace kindprobe::cli {
namespace {

constexpr size_t kReadChunk = 64 * 1024;

}  // namespace

ListReader::ListReader(std::FILE* stream, bool nulSeparated)
    : stream_(stream), separator_(nulSeparated ? '\0' : '\n'), buffer_(kReadChunk) {}

bool ListReader::Refill() {
  if (atEnd_) return false;
  // Keep the unfinished entry at the front and make room after it.
  std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
  if (buffer_.size() - end_ < kReadChunk) buffer_.resize(end_ + kReadChunk);
  const long got = ReadAvailable(stream_, buffer_.data() + end_, buffer_.size() - end_);
  if (got <= 0) {
    atEnd_ = true;
    failed_ = got < 0;
    return false;
  }
  end_ += static_cast<size_t>(got);
  return true;
}

bool ListReader::HasCompleteEntry() const {
  return atEnd_ || std::memchr(buffer_.data() + begin_, separator_, end_ - begin_) != nullptr;
}

bool ListReader::Next(std::u16string* path) {
  for (;;) {
    size_t scanFrom = begin_;
    const char* separator = nullptr;
    for (;;) {
      separator = static_cast<const char*>(
          std::memchr(buffer_.data() + scanFrom, separator_, end_ - scanFrom));
      if (separator != nullptr) break;
      const size_t scanned = end_ - begin_;
      if (!Refill()) break;
      scanFrom = begin_ + scanned;
    }
    const size_t entryEnd = separator != nullptr ? separator - buffer_.data() : end_;
    if (entryEnd == begin_ && separator == nullptr) return false;  // nothing left
    std::string_view entry(buffer_.data() + begin_, entryEnd - begin_);
    begin_ = separator != nullptr ? entryEnd + 1 : end_;
#ifdef _WIN32
    // Windows names cannot end in CR: a list written with CR LF line ends.
    if (separator_ == '\n' && !entry.empty() && entry.back() == '\r') entry.remove_suffix(1);
#endif
    if (entry.empty()) continue;  // blank lines name no file
    *path = platform::Utf8ToUtf16(entry);
    return true;
  }
}

}  // namespace kindprobe::cli
