// Matroska / WebM: the EBML header, then the Segment and its declared size.
#include <algorithm>
#include <array>
#include <optional>

#include "engine/explain/explainers.h"

namespace kindprobe::explain {
namespace {

constexpr uint32_t kEbmlId = 0x1A45DFA3;
constexpr uint32_t kSegmentId = 0x18538067;
// An element ID of 4 bytes and a size of at most 8.
constexpr size_t kLongestElementHeader = 12;

struct VarInt {
  uint64_t value = 0;
  size_t length = 0;
  bool unknown = false;  // every value bit set: the writer did not know the size
};

// A size field: the count of leading zero bits in the first byte gives the length.
std::optional<VarInt> ReadVarInt(std::span<const uint8_t> bytes) {
  if (bytes.empty() || bytes[0] == 0) return std::nullopt;
  VarInt v;
  v.length = 1;
  while ((bytes[0] & (0x80 >> (v.length - 1))) == 0) ++v.length;
  if (bytes.size() < v.length) return std::nullopt;
  v.value = bytes[0] & (0xFF >> v.length);
  bool allOnes = v.value == (0xFFu >> v.length);
  for (size_t i = 1; i < v.length; ++i) {
    v.value = v.value << 8 | bytes[i];
    allOnes = allOnes && bytes[i] == 0xFF;
  }
  v.unknown = allOnes;
  return v;
}

}  // namespace

bool ExplainMatroska(ExplainReader& reader, Reasons* reasons) {
  const auto head = reader.head();
  if (head.size() < 5 || Be32(head.data()) != kEbmlId) return false;
  const uint64_t size = reader.fileSize();
  const auto ebmlSize = ReadVarInt(head.subspan(4));
  if (!ebmlSize || ebmlSize->unknown) return true;

  const uint64_t segmentAt = SaturatingAdd(4 + ebmlSize->length, ebmlSize->value);
  std::array<uint8_t, kLongestElementHeader> element{};
  const uint64_t available = segmentAt < size ? size - segmentAt : 0;
  const size_t wanted = static_cast<size_t>(std::min<uint64_t>(element.size(), available));
  if (wanted < 5 || !reader.Read(segmentAt, std::span(element).first(wanted))) return true;
  if (Be32(element.data()) != kSegmentId) return true;
  const auto segmentSize = ReadVarInt(std::span(element).first(wanted).subspan(4));
  if (!segmentSize || segmentSize->unknown) return true;
  const uint64_t end = SaturatingAdd(segmentAt + 4 + segmentSize->length, segmentSize->value);
  if (end > size) {
    reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kMatroskaSegment, end, size));
  }
  return true;
}

}  // namespace kindprobe::explain
