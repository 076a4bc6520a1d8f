#include "cli/scan/list_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "diagnosis/printable_name.h"
#include "cli/text/text_join.h"
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
  errno = 0;
  const long got = platform::ReadAvailable(stream_, buffer_.data() + end_, buffer_.size() - end_);
  if (got <= 0) {
    atEnd_ = true;
    failed_ = got < 0;
    error_ = failed_ ? errno : 0;
    return false;
  }
  end_ += static_cast<size_t>(got);
  return true;
}

bool ListReader::HasCompleteEntry() const {
  return atEnd_ || std::memchr(buffer_.data() + begin_, separator_, end_ - begin_) != nullptr;
}

void ListReader::SkipEntry() {
  ++tooLong_;
  for (;;) {
    const char* separator =
        static_cast<const char*>(std::memchr(buffer_.data() + begin_, separator_, end_ - begin_));
    if (separator != nullptr) {
      begin_ = static_cast<size_t>(separator - buffer_.data()) + 1;
      return;
    }
    begin_ = end_;
    if (!Refill()) return;
  }
}

bool ListReader::Next(std::u16string* path) {
  for (;;) {
    size_t scanFrom = begin_;
    const char* separator = nullptr;
    bool skipped = false;
    for (;;) {
      separator = static_cast<const char*>(
          std::memchr(buffer_.data() + scanFrom, separator_, end_ - scanFrom));
      if (separator != nullptr) break;
      const size_t scanned = end_ - begin_;
      if (scanned > kMaxListEntryBytes) {
        SkipEntry();
        skipped = true;
        break;
      }
      if (!Refill()) break;
      scanFrom = begin_ + scanned;
    }
    if (skipped) continue;
    const size_t entryEnd = separator != nullptr ? separator - buffer_.data() : end_;
    if (entryEnd == begin_ && separator == nullptr) return false;  // nothing left
    std::string_view entry(buffer_.data() + begin_, entryEnd - begin_);
    begin_ = separator != nullptr ? entryEnd + 1 : end_;
    if (separator_ == '\n' && !entry.empty() && entry.back() == '\r') entry.remove_suffix(1);
    if (entry.size() > kMaxListEntryBytes) {
      ++tooLong_;
      continue;
    }
    if (entry.empty()) continue;  // blank lines name no file
    *path = platform::Utf8ToUtf16(entry);
    return true;
  }
}

ListSequence::ListSequence(std::vector<std::u16string> names, bool nulSeparated)
    : names_(std::move(names)), nulSeparated_(nulSeparated) {}

bool ListSequence::FinishCurrent() {
  const bool failed = current_->failed();
  const int error = current_->error();
  tooLong_ += current_->tooLong();
  current_.reset();
  file_.reset();
  if (failed) {
    trouble_ = Join({"cannot read the list ", PrintableName(currentName_), " (",
                     std::strerror(error), ")"});
  }
  return !failed;
}

bool ListSequence::Next(std::u16string* path) {
  while (trouble_.empty()) {
    if (current_) {
      if (current_->Next(path)) return true;
      if (!FinishCurrent()) return false;
    }
    if (nextName_ == names_.size()) return false;
    currentName_ = names_[nextName_++];
    std::FILE* stream = nullptr;
    if (currentName_ == u"-") {
      stream = platform::BinaryStandardInput();
    } else {
      int error = 0;
      file_ = platform::OpenListFile(currentName_, &error);
      stream = file_.get();
      if (stream == nullptr) {
        trouble_ = Join({"cannot open the list ", PrintableName(currentName_), " (",
                         std::strerror(error), ")"});
        return false;
      }
    }
    current_.emplace(stream, nulSeparated_);
  }
  return false;
}

bool ListSequence::HasCompleteEntry() const {
  if (current_) return current_->HasCompleteEntry();
  // The next list may be a pipe.
  return nextName_ == names_.size() || !trouble_.empty();
}

}  // namespace kindprobe::cli
