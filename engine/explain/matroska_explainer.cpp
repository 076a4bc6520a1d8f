// Matroska / WebM: the EBML header, then the Segment and its declared size.
#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "engine/explain/ebml.h"
#include "engine/explain/explainers.h"

namespace kindprobe::explain {
namespace {

constexpr uint32_t kEbmlId = 0x1A45DFA3;
constexpr uint32_t kSegmentId = 0x18538067;

// Whether the Segment's children from `offset` to `end` hold no Cluster: only when every child
// up to `end` was seen, each of a known size, does the walk answer yes.
bool HoldsNoCluster(ExplainReader& reader, uint64_t offset, uint64_t end) {
  for (int i = 0; i < kMaxSegmentChildren && offset < end; ++i) {
    std::array<uint8_t, kLongestElementHeader> element{};
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(element.size(), end - offset));
    if (!reader.Read(offset, std::span(element).first(wanted))) return false;
    const auto id = ReadId(std::span(element).first(wanted));
    if (!id || id->first == kClusterId) return false;
    const auto size = ReadVarInt(std::span(element).first(wanted).subspan(id->second));
    if (!size || size->unknown) return false;
    offset = SaturatingAdd(offset + id->second + size->length, size->value);
  }
  return offset == end;
}

}  // namespace

bool ExplainMatroska(ExplainReader& reader, Explanation* found) {
  Reasons* reasons = &found->reasons;
  const auto head = reader.head();
  if (head.size() < 5 || Be32(head.data()) != kEbmlId) return false;
  const uint64_t size = reader.fileSize();
  const auto ebmlSize = ReadVarInt(head.subspan(4));
  if (!ebmlSize || ebmlSize->unknown) return true;

  if (ebmlSize->value > kLargestPossibleFile) {
    reasons->push_back(ImpossibleSize(u"EBML header", ebmlSize->value));
    return true;
  }
  const uint64_t segmentAt = 4 + ebmlSize->length + ebmlSize->value;
  std::array<uint8_t, kLongestElementHeader> element{};
  const uint64_t available = segmentAt < size ? size - segmentAt : 0;
  const size_t wanted = static_cast<size_t>(std::min<uint64_t>(element.size(), available));
  if (wanted < 5 || !reader.Read(segmentAt, std::span(element).first(wanted))) return true;
  if (Be32(element.data()) != kSegmentId) return true;
  const auto segmentSize = ReadVarInt(std::span(element).first(wanted).subspan(4));
  if (!segmentSize) return true;
  const uint64_t dataAt = segmentAt + 4 + segmentSize->length;
  // A live stream's Segment has no size: it runs to the end of the file.
  uint64_t end = size;
  if (!segmentSize->unknown) {
    if (segmentSize->value > kLargestPossibleFile) {
      reasons->push_back(ImpossibleSize(u"Segment", segmentSize->value));
      return true;
    }
    end = dataAt + segmentSize->value;
    if (end > size) {
      reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kMatroskaSegment, end, size));
      ReadMatroskaStreams(reader, dataAt, size, found);
      return true;
    }
  }
  ReadMatroskaStreams(reader, dataAt, end, found);
  if (HoldsNoCluster(reader, dataAt, end)) {
    reasons->push_back(Finding(ReasonCode::kNoMediaData, DetailId::kMatroskaNoCluster));
  }
  return true;
}

}  // namespace kindprobe::explain
