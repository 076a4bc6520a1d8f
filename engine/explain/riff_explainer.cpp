// RIFF (AVI, WAV): the RIFF chunk and, inside it, the chunk that holds the media.
#include <array>
#include <cstring>

#include "engine/explain/explainers.h"

namespace kindprobe::explain {
namespace {

// Top-level chunks looked at inside the RIFF chunk; the media list comes within the first few.
constexpr int kMaxChunks = 32;
constexpr uint64_t kChunkHeader = 8;
// Streaming writers leave these in the size fields: unknown, not a finding.
constexpr uint32_t kUnknownSizes[] = {0, 0xFFFFFFFF};

bool IsUnknown(uint32_t size) { return size == kUnknownSizes[0] || size == kUnknownSizes[1]; }

bool Is(const uint8_t* p, const char (&tag)[5]) { return std::memcmp(p, tag, 4) == 0; }

}  // namespace

bool ExplainRiff(ExplainReader& reader, Reasons* reasons) {
  const auto head = reader.head();
  if (head.size() < 12 || !Is(head.data(), "RIFF")) return false;
  const bool avi = Is(head.data() + 8, "AVI ");
  const uint64_t size = reader.fileSize();
  const uint32_t riffSize = Le32(head.data() + 4);
  if (IsUnknown(riffSize)) return true;
  const uint64_t riffEnd = kChunkHeader + riffSize;
  if (riffEnd > size)
    reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kRiffSize, riffEnd, size));

  // Chunks are padded to even sizes; offsets only grow, so the walk ends.
  uint64_t offset = 12;
  for (int i = 0; i < kMaxChunks && offset + kChunkHeader <= size; ++i) {
    std::array<uint8_t, 12> chunk{};
    const bool haveListType = reader.Read(offset, chunk);
    if (!haveListType && !reader.Read(offset, std::span(chunk).first(8))) return true;
    const uint32_t chunkSize = Le32(chunk.data() + 4);
    const uint64_t end = offset + kChunkHeader + chunkSize;
    if (avi && Is(chunk.data(), "LIST") && haveListType && Is(chunk.data() + 8, "movi")) {
      if (end > size) {
        reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kAviMovi, end, size));
      } else if (chunkSize <= 4) {
        reasons->push_back(Finding(ReasonCode::kNoMediaData, DetailId::kAviEmptyMovi));
      }
      return true;
    }
    if (!avi && Is(chunk.data(), "data")) {
      if (!IsUnknown(chunkSize) && end > size) {
        reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kRiffData, end, size));
      }
      return true;
    }
    offset = end + (chunkSize & 1);
  }
  return true;
}

}  // namespace kindprobe::explain
