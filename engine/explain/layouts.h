// The structure sizes that both a container's explainer and its stream reader walk by.
#pragma once

#include <cstdint>

namespace kindprobe::explain {

// ISO media: a box header, and one whose 64-bit size follows its type.
inline constexpr uint64_t kIsoBoxHeader = 8;
inline constexpr uint64_t kIsoLargeBoxHeader = 16;
// RIFF: a chunk header; the first chunk, after "RIFF", its size and the form type (an AVI's
// hdrl list).
inline constexpr uint64_t kRiffChunkHeader = 8;
inline constexpr uint64_t kRiffFirstChunk = 12;
// FLV: a tag header, and the previous-tag-size after every tag.
inline constexpr uint64_t kFlvTagHeader = 11;
inline constexpr uint64_t kFlvBackPointer = 4;
// Ogg: a page header up to its lacing values.
inline constexpr uint64_t kOggPageHeader = 27;
// MPEG transport stream: a packet, and the byte that opens each.
inline constexpr uint64_t kTsPacketSize = 188;
inline constexpr uint8_t kTsSyncByte = 0x47;

}  // namespace kindprobe::explain
