#include "engine/explain/reader.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace kindprobe::explain {

bool ExplainReader::Read(uint64_t offset, std::span<uint8_t> out) {
  std::span<const uint8_t> view;
  if (!View(offset, out.size(), &view)) return false;
  std::copy(view.begin(), view.end(), out.begin());
  return true;
}

bool ExplainReader::View(uint64_t offset, size_t length, std::span<const uint8_t>* view) {
  if (offset > fileSize_ || length > fileSize_ - offset) return false;
  if (offset <= head_.size() && length <= head_.size() - offset) {
    *view = head_.subspan(static_cast<size_t>(offset), length);
    return true;
  }
  if (offset >= windowAt_ && offset - windowAt_ <= window_.size() &&
      length <= window_.size() - (offset - windowAt_)) {
    *view = std::span<const uint8_t>(window_).subspan(static_cast<size_t>(offset - windowAt_),
                                                      length);
    windowServed_ = true;
    return true;
  }
  if (source_ == nullptr) return false;
  const uint64_t affordable = kMaxExtraBytes - extraBytes_;
  uint32_t& reads = forStreams_ ? streamReads_ : extraReads_;
  if (reads >= (forStreams_ ? kMaxStreamReads : kMaxExtraReads) || length > affordable) {
    outOfBudget_ = outOfBudget_ || !forStreams_;
    return false;
  }
  if (extraReads_ + streamReads_ > 0) {
    nextWindow_ = windowServed_ ? std::min(nextWindow_ * 2, kLargestWindow) : kFirstWindow;
  }
  windowServed_ = false;
  const uint64_t wanted =
      std::max<uint64_t>(length, std::min({nextWindow_, fileSize_ - offset, affordable}));
  ++reads;
  extraBytes_ += wanted;
  window_.resize(static_cast<size_t>(wanted));
  window_.resize(source_->ReadAt(offset, window_));
  windowAt_ = offset;
  if (window_.size() < length) return false;
  *view = std::span<const uint8_t>(window_).first(length);
  return true;
}

namespace {

// ID3v1: "TAG" and 125 bytes, the last 128 bytes of the file.
constexpr uint64_t kId3v1Size = 128;
// An APE tag ends with a 32-byte footer: "APETAGEX", version, the size of the items and the
// footer, the item count, flags (bit 31: a header as long as the footer opens the tag).
constexpr uint64_t kApeFooterSize = 32;
constexpr uint32_t kApeHasHeader = 0x80000000;
// How much of the end the tags are looked for in.
constexpr uint64_t kEndWindow = 4096;

uint32_t Le32At(std::span<const uint8_t> bytes, size_t at) { return Le32(bytes.data() + at); }

}  // namespace

uint64_t ExplainReader::ContentEnd() {
  if (contentEnd_) return *contentEnd_;
  uint64_t end = fileSize_;
  // More than the tags need: what explainers look at next lies near the end too (a fragment
  // index, the last tag of an FLV), and then costs no read of its own.
  const size_t length = static_cast<size_t>(std::min(kEndWindow, fileSize_));
  std::span<const uint8_t> bytes;
  if (View(fileSize_ - length, length, &bytes)) {
    size_t at = bytes.size();  // where what is looked at ends, within `bytes`
    if (at >= kId3v1Size && std::memcmp(&bytes[at - kId3v1Size], "TAG", 3) == 0) {
      at -= kId3v1Size;
      end -= kId3v1Size;
    }
    if (at >= kApeFooterSize && std::memcmp(&bytes[at - kApeFooterSize], "APETAGEX", 8) == 0) {
      const size_t footer = at - kApeFooterSize;
      const uint64_t tagSize = Le32At(bytes, footer + 12) +
                               ((Le32At(bytes, footer + 20) & kApeHasHeader) ? kApeFooterSize : 0);
      if (tagSize >= kApeFooterSize && tagSize <= end) end -= tagSize;
    }
  }
  contentEnd_ = end;
  return end;
}

size_t MemorySource::ReadAt(uint64_t offset, std::span<uint8_t> out) {
  if (offset >= bytes_.size()) return 0;
  const size_t n = std::min<uint64_t>(out.size(), bytes_.size() - offset);
  std::memcpy(out.data(), bytes_.data() + offset, n);
  return n;
}

uint32_t Be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

uint64_t Be64(const uint8_t* p) { return uint64_t{Be32(p)} << 32 | Be32(p + 4); }

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

uint32_t Be24(const uint8_t* p) { return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]; }

uint64_t SaturatingAdd(uint64_t a, uint64_t b) { return b > UINT64_MAX - a ? UINT64_MAX : a + b; }

}  // namespace kindprobe::explain
