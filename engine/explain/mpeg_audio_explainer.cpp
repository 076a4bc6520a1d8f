// MPEG audio (MP3): the ID3v2 tag's declared size, and the byte count that encoders write into
// the first frame (the "Xing"/"Info" frame). A bare stream of frames carries no length of the
// whole, so without either there is nothing to go on.
#include <array>
#include <cstring>
#include <string>

#include "engine/explain/codec_names.h"
#include "engine/explain/explainers.h"

namespace kindprobe::explain {
namespace {

constexpr uint64_t kTagHeader = 10;
constexpr uint8_t kFooterFlag = 0x10;
constexpr uint64_t kFrameHeader = 4;
constexpr uint32_t kFramesFlag = 0x1;
constexpr uint32_t kBytesFlag = 0x2;

// Four bytes of seven bits each; a byte with its top bit set is not a size.
bool SyncSafe(const uint8_t* p, uint64_t* value) {
  *value = 0;
  for (int i = 0; i < 4; ++i) {
    if (p[i] & 0x80) return false;
    *value = *value << 7 | p[i];
  }
  return true;
}

// A layer III frame header: eleven sync bits, a version other than the reserved one.
bool IsLayer3Frame(const uint8_t* p) {
  return p[0] == 0xFF && (p[1] & 0xE0) == 0xE0 && (p[1] & 0x18) != 0x08 && (p[1] & 0x06) == 0x02;
}

// Any frame header: the sync bits, a version and a layer other than the reserved ones, and a
// bit rate and sample rate that exist.
bool IsFrame(const uint8_t* p) {
  return p[0] == 0xFF && (p[1] & 0xE0) == 0xE0 && (p[1] & 0x18) != 0x08 && (p[1] & 0x06) != 0 &&
         (p[2] & 0xF0) != 0xF0 && (p[2] & 0x0C) != 0x0C;
}

// "mpeg1-l3": the frame's version and layer, as the codec names give them.
std::string FrameTag(const uint8_t* p) {
  static constexpr const char* kVersions[] = {"mpeg2.5", "", "mpeg2", "mpeg1"};
  static constexpr const char* kLayers[] = {"", "-l3", "-l2", "-l1"};
  return std::string(kVersions[(p[1] >> 3) & 3]) + kLayers[(p[1] >> 1) & 3];
}

// The stream of the frame at `frameAt`, when one is there.
void ReadFirstFrame(ExplainReader& reader, uint64_t frameAt, Explanation* found) {
  const ExplainReader::StreamReading streamReads(reader);
  std::array<uint8_t, kFrameHeader> frame{};
  if (reader.Read(frameAt, frame) && IsFrame(frame.data())) {
    AddStream(found, Container::kMpegAudio, FrameTag(frame.data()), StreamKind::kAudio);
  }
}

// Where the Xing/Info block sits: after the header and the side information, whose size
// depends on the version and on whether the frame is mono.
uint64_t InfoOffset(const uint8_t* frame) {
  const bool mpeg1 = (frame[1] & 0x18) == 0x18;
  const bool mono = (frame[3] & 0xC0) == 0xC0;
  const uint64_t sideInfo = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  return kFrameHeader + sideInfo;
}

// The audio's byte count from the first frame, when the encoder wrote one.
bool InfoBytes(std::span<const uint8_t> head, uint64_t frameAt, uint64_t* bytes) {
  if (frameAt + kFrameHeader > head.size() || !IsLayer3Frame(&head[frameAt])) return false;
  const uint64_t at = frameAt + InfoOffset(&head[frameAt]);
  if (at + 16 > head.size()) return false;
  const uint8_t* info = &head[at];
  if (std::memcmp(info, "Xing", 4) != 0 && std::memcmp(info, "Info", 4) != 0) return false;
  const uint32_t flags = Be32(info + 4);
  if ((flags & kBytesFlag) == 0) return false;
  *bytes = Be32(info + ((flags & kFramesFlag) ? 12 : 8));
  return true;
}

}  // namespace

bool ExplainMpegAudio(ExplainReader& reader, Explanation* found) {
  Reasons* reasons = &found->reasons;
  const auto head = reader.head();
  const uint64_t size = reader.fileSize();
  uint64_t audioAt = 0;
  if (head.size() >= kTagHeader && std::memcmp(head.data(), "ID3", 3) == 0) {
    uint64_t body = 0;
    if (!SyncSafe(head.data() + 6, &body)) return true;
    audioAt = kTagHeader + body + ((head[5] & kFooterFlag) ? kTagHeader : 0);
    if (audioAt > size) {
      reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kId3Tag, audioAt, size));
      return true;
    }
    if (audioAt == size) {
      reasons->push_back(Finding(ReasonCode::kNoMediaData, DetailId::kId3Only));
      return true;
    }
  } else if (head.size() < kFrameHeader || !IsFrame(head.data())) {
    return false;
  }
  ReadFirstFrame(reader, audioAt, found);
  // Encoders count the audio after the tag; one that counted the whole file, tag included,
  // wrote exactly the size of a whole file.
  uint64_t bytes = 0;
  if (InfoBytes(head, audioAt, &bytes) && audioAt + bytes > size && bytes != size) {
    reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kMp3Bytes, audioAt + bytes, size));
  }
  return true;
}

}  // namespace kindprobe::explain
