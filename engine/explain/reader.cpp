#include "engine/explain/reader.h"

#include <algorithm>
#include <cstring>

namespace kindprobe::explain {

bool ExplainReader::Read(uint64_t offset, std::span<uint8_t> out) {
  if (offset > fileSize_ || out.size() > fileSize_ - offset) return false;
  if (offset <= head_.size() && out.size() <= head_.size() - offset) {
    std::copy_n(head_.data() + offset, out.size(), out.data());
    return true;
  }
  if (source_ == nullptr || extraReads_ >= kMaxExtraReads) return false;
  ++extraReads_;
  return source_->ReadAt(offset, out) == out.size();
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
