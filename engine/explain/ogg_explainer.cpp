// Ogg: the pages at the end of the file. The last page must be whole, and a finished stream
// marks its last page with the end-of-stream flag.
#include <algorithm>
#include <cstring>
#include <span>

#include "engine/explain/explainers.h"
#include "engine/explain/layouts.h"

namespace kindprobe::explain {
namespace {

constexpr uint8_t kEndOfStream = 0x04;
// The largest page: its header, 255 lacing values and 255 segments of 255 bytes. One read of
// this much from the end always holds the start of the last page.
constexpr uint64_t kLargestPage = kOggPageHeader + 255 + 255 * 255;
constexpr char kCapture[] = "OggS";
constexpr size_t kCaptureLength = 4;

bool IsCaptureAt(std::span<const uint8_t> bytes, size_t at) {
  return at + kCaptureLength + 1 <= bytes.size() &&
         std::memcmp(bytes.data() + at, kCapture, kCaptureLength) == 0 &&
         bytes[at + kCaptureLength] == 0;  // stream structure version 0
}

// The first bytes of a page header the file ends in, too few to show all of "OggS\0".
bool IsCutCaptureAt(std::span<const uint8_t> bytes, size_t at) {
  const size_t left = bytes.size() - at;
  return left <= kCaptureLength && std::memcmp(bytes.data() + at, kCapture, left) == 0;
}

size_t NextCapture(std::span<const uint8_t> bytes, size_t from) {
  while (from < bytes.size() && !IsCaptureAt(bytes, from)) ++from;
  return from;
}

}  // namespace

bool ExplainOgg(ExplainReader& reader, Explanation* found) {
  Reasons* reasons = &found->reasons;
  const auto head = reader.head();
  if (head.size() < kCaptureLength || std::memcmp(head.data(), kCapture, kCaptureLength) != 0) {
    return false;
  }
  ReadOggStreams(reader, found);
  const uint64_t size = reader.fileSize();
  const uint64_t windowStart = size > kLargestPage ? size - kLargestPage : 0;
  std::span<const uint8_t> window;
  if (!reader.View(windowStart, static_cast<size_t>(size - windowStart), &window)) return true;

  // Pages chain: each starts where the one before ends. A capture pattern inside packet data
  // breaks the chain, and the search resumes after the break, so every byte is looked at a
  // bounded number of times.
  bool sawEndOfStream = false;
  // From the start of a small file, the head has already shown the first page.
  size_t at = windowStart == 0 ? 0 : NextCapture(window, 0);
  while (at < window.size()) {
    const uint64_t pageStart = windowStart + at;
    const size_t left = window.size() - at;
    uint64_t declaredEnd = pageStart + kOggPageHeader;
    if (left >= kOggPageHeader) {
      const size_t segments = window[at + 26];
      declaredEnd += segments;
      if (left >= kOggPageHeader + segments) {
        for (size_t i = 0; i < segments; ++i) declaredEnd += window[at + kOggPageHeader + i];
      }
    }
    if (declaredEnd > size) {
      reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kOggPage, declaredEnd, size));
      return true;
    }
    // Sizes are known only once the lacing values are in the window; they are, or the page
    // would have run past the end above.
    sawEndOfStream = sawEndOfStream || (window[at + 5] & kEndOfStream) != 0;
    const size_t next = static_cast<size_t>(declaredEnd - windowStart);
    if (next == window.size()) break;
    // The next page starts where this one ends, even when the file ends a few bytes into it.
    if (IsCaptureAt(window, next) || IsCutCaptureAt(window, next)) {
      at = next;
    } else {
      sawEndOfStream = false;
      at = NextCapture(window, next);
    }
  }
  if (!sawEndOfStream && at < window.size()) {
    reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kOggNoEos));
  }
  return true;
}

}  // namespace kindprobe::explain
