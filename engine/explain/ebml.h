// EBML, the element syntax of Matroska and WebM: variable-length IDs and sizes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>

namespace kindprobe::explain {

constexpr uint32_t kClusterId = 0x1F43B675;
// Children of the Segment looked at before the first Cluster: the metadata before it is a
// handful of elements (SeekHead, Void, Info, Tracks, Tags, Cues, Chapters, Attachments).
constexpr int kMaxSegmentChildren = 64;
// An element ID of 4 bytes and a size of at most 8.
constexpr size_t kLongestElementHeader = 12;

struct VarInt {
  uint64_t value = 0;
  size_t length = 0;
  bool unknown = false;  // every value bit set: the writer did not know the size
};

// A size field: the count of leading zero bits in the first byte gives the length.
inline std::optional<VarInt> ReadVarInt(std::span<const uint8_t> bytes) {
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

// An element ID: its first byte's leading zeros give its length, 1 to 4 bytes.
inline std::optional<std::pair<uint32_t, size_t>> ReadId(std::span<const uint8_t> bytes) {
  if (bytes.empty() || bytes[0] < 0x10) return std::nullopt;
  size_t length = 1;
  while ((bytes[0] & (0x80 >> (length - 1))) == 0) ++length;
  if (bytes.size() < length) return std::nullopt;
  uint32_t id = 0;
  for (size_t i = 0; i < length; ++i) id = id << 8 | bytes[i];
  return std::pair(id, length);
}

}  // namespace kindprobe::explain
