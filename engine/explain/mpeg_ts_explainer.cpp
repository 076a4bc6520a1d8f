// MPEG transport stream: a whole file is whole 188-byte packets, each opening with 0x47.
#include <algorithm>
#include <array>

#include "engine/explain/explainers.h"
#include "engine/explain/layouts.h"

namespace kindprobe::explain {
namespace {

// Packets whose sync byte the head must show before the file counts as a transport stream.
constexpr uint64_t kPacketsToRecognise = 3;

}  // namespace

bool ExplainMpegTs(ExplainReader& reader, Explanation* found) {
  Reasons* reasons = &found->reasons;
  const auto head = reader.head();
  const uint64_t size = reader.fileSize();
  const uint64_t packets =
      std::min<uint64_t>(kPacketsToRecognise, (size + kTsPacketSize - 1) / kTsPacketSize);
  if (packets < 2) return false;
  for (uint64_t i = 0; i < packets; ++i) {
    if (i * kTsPacketSize >= head.size() || head[i * kTsPacketSize] != kTsSyncByte) return false;
  }
  ReadMpegTsStreams(reader, found);
  // Packets end where the media does: a tag appended to the file is not part of the stream.
  const uint64_t end = size % kTsPacketSize != 0 ? reader.ContentEnd() : size;
  const uint64_t rest = end % kTsPacketSize;
  if (rest == 0) return true;
  // A file cut short ends in part of a packet, which opens with the sync byte as every packet
  // does. Other bytes after the last whole packet were appended to a whole stream.
  std::array<uint8_t, 1> sync{};
  if (reader.Read(end - rest, sync) && sync[0] == kTsSyncByte) {
    reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kTsPartial, rest, end));
  }
  return true;
}

}  // namespace kindprobe::explain
