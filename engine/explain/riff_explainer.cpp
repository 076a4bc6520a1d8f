// RIFF (AVI, WAV): the RIFF chunk and, inside it, the chunk that holds the media.
#include <array>
#include <cstring>

#include "engine/explain/explainers.h"
#include "engine/explain/layouts.h"

namespace kindprobe::explain {
namespace {

// Top-level chunks looked at inside the RIFF chunk; the media list comes within the first few.
constexpr int kMaxChunks = 32;
// Streaming writers leave these in the size fields: unknown, not a finding.
constexpr uint32_t kUnknownSizes[] = {0, 0xFFFFFFFF};

bool IsUnknown(uint32_t size) { return size == kUnknownSizes[0] || size == kUnknownSizes[1]; }

bool Is(const uint8_t* p, const char (&tag)[5]) { return std::memcmp(p, tag, 4) == 0; }

// Frames the main AVI header counts (those of the first RIFF) and frames the OpenDML header
// counts (those of the whole file), from the hdrl list at the start of the file. Zero when
// either is missing.
struct FrameCounts {
  uint32_t firstRiff = 0;
  uint32_t wholeFile = 0;
};

constexpr uint64_t kAvihFramesAt = 16;  // within the avih chunk's data

FrameCounts CountFrames(ExplainReader& reader) {
  FrameCounts counts;
  std::array<uint8_t, 12> list{};
  if (!reader.Read(kRiffFirstChunk, list) || !Is(list.data(), "LIST") ||
      !Is(list.data() + 8, "hdrl")) {
    return counts;
  }
  const uint64_t hdrlEnd = kRiffFirstChunk + kRiffChunkHeader + Le32(list.data() + 4);
  uint64_t offset = kRiffFirstChunk + 12;
  for (int i = 0; i < kMaxChunks && offset + 12 <= hdrlEnd; ++i) {
    std::array<uint8_t, 24> chunk{};
    if (!reader.Read(offset, std::span(chunk).first(12))) return counts;
    const uint32_t chunkSize = Le32(chunk.data() + 4);
    if (Is(chunk.data(), "avih") &&
        reader.Read(offset + kRiffChunkHeader + kAvihFramesAt, std::span(chunk).first(4))) {
      counts.firstRiff = Le32(chunk.data());
    } else if (Is(chunk.data(), "LIST") && Is(chunk.data() + 8, "odml") &&
               reader.Read(offset + 12, std::span(chunk).first(12)) && Is(chunk.data(), "dmlh")) {
      counts.wholeFile = Le32(chunk.data() + 8);
    }
    offset += kRiffChunkHeader + chunkSize + (chunkSize & 1);
  }
  return counts;
}

// An AVI over 1 GiB (OpenDML) goes on after its first RIFF with "RIFF....AVIX" ones. Whether
// the file ends where they say, from `offset`, the end of the first.
void ExplainExtensions(ExplainReader& reader, uint64_t offset, Reasons* reasons) {
  const uint64_t size = reader.fileSize();
  if (offset == size) {
    const FrameCounts counts = CountFrames(reader);
    // The OpenDML header counts more frames than the first RIFF holds: the rest is missing.
    if (counts.firstRiff != 0 && counts.wholeFile > counts.firstRiff) {
      reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kAviOdmlFrames,
                                 counts.wholeFile, counts.firstRiff));
    }
    return;
  }
  for (int i = 0; i < kMaxChunks && offset + 12 <= size; ++i) {
    std::array<uint8_t, 12> riff{};
    if (!reader.Read(offset, riff) || !Is(riff.data(), "RIFF") || !Is(riff.data() + 8, "AVIX")) {
      return;
    }
    const uint64_t end = offset + kRiffChunkHeader + Le32(riff.data() + 4);
    if (end > size) {
      reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kAviNextRiff, end, size));
      return;
    }
    offset = end;
  }
}

}  // namespace

bool ExplainRiff(ExplainReader& reader, Explanation* found) {
  Reasons* reasons = &found->reasons;
  const auto head = reader.head();
  if (head.size() < 12 || !Is(head.data(), "RIFF")) return false;
  const bool avi = Is(head.data() + 8, "AVI ");
  // The stream headers come first in the file: read before the walk spends the budget.
  if (avi || Is(head.data() + 8, "WAVE")) ReadRiffStreams(reader, avi, found);
  const uint64_t size = reader.fileSize();
  const uint32_t riffSize = Le32(head.data() + 4);
  if (IsUnknown(riffSize)) return true;
  const uint64_t riffEnd = kRiffChunkHeader + riffSize;
  if (riffEnd > size) {
    reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kRiffSize, riffEnd, size));
  } else if (avi) {
    const size_t before = reasons->size();
    ExplainExtensions(reader, riffEnd, reasons);
    if (reasons->size() != before) return true;
  }

  // Chunks are padded to even sizes; offsets only grow, so the walk ends.
  uint64_t offset = 12;
  for (int i = 0; i < kMaxChunks && offset + kRiffChunkHeader <= size; ++i) {
    std::array<uint8_t, 12> chunk{};
    const bool haveListType = reader.Read(offset, chunk);
    if (!haveListType && !reader.Read(offset, std::span(chunk).first(8))) return true;
    const uint32_t chunkSize = Le32(chunk.data() + 4);
    const uint64_t end = offset + kRiffChunkHeader + chunkSize;
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
