// FLV: the codecs of the first audio and video tags. A tag's first data byte gives its codec
// id; an extended header (enhanced FLV) gives a four-character code after it.
#include <array>
#include <string>

#include "engine/explain/codec_names.h"
#include "engine/explain/explainers.h"
#include "engine/explain/layouts.h"

namespace kindprobe::explain {
namespace {

constexpr uint8_t kAudioTag = 8;
constexpr uint8_t kVideoTag = 9;
// Header flags: which kinds of tag the file has.
constexpr uint8_t kHasAudio = 0x04;
constexpr uint8_t kHasVideo = 0x01;
// Tags looked at for the first of each kind; writers put them right after the metadata.
constexpr int kMaxTags = 16;
// Video: the extended header bit, then the codec id in the low four bits. Audio: the sound
// format in the high four bits, 9 saying a four-character code follows.
constexpr uint8_t kVideoExHeader = 0x80;
constexpr uint8_t kAudioExHeader = 9;

// "v7", "a10": appended rather than `"v" + std::to_string(...)`, which GCC 12 at -O3 for i686
// takes for an overlapping copy (-Wrestrict) and refuses under -Werror.
std::string NumberedTag(char kind, unsigned number) {
  std::string tag(1, kind);
  tag += std::to_string(number);
  return tag;
}

// "v7", "a10", or the four-character code of an extended header.
std::string CodecTag(uint8_t type, std::span<const uint8_t> data) {
  if (type == kVideoTag) {
    if ((data[0] & kVideoExHeader) && data.size() >= 5)
      return FourccTag(data.subspan(1).first<4>());
    return NumberedTag('v', data[0] & 0x0F);
  }
  if ((data[0] >> 4) == kAudioExHeader && data.size() >= 5)
    return FourccTag(data.subspan(1).first<4>());
  return NumberedTag('a', data[0] >> 4);
}

}  // namespace

void ReadFlvStreams(ExplainReader& reader, uint64_t firstTag, Explanation* found) {
  const ExplainReader::StreamReading streamReads(reader);
  const auto head = reader.head();
  uint8_t wanted = head[4] & (kHasAudio | kHasVideo);
  uint64_t offset = firstTag;
  for (int i = 0; i < kMaxTags && wanted != 0; ++i) {
    std::array<uint8_t, kFlvTagHeader + 5> tag{};
    if (!reader.Read(offset, std::span(tag).first(kFlvTagHeader))) return;
    const uint8_t type = tag[0] & 0x1F;
    const uint32_t dataSize = Be24(tag.data() + 1);
    const uint8_t kind = type == kAudioTag ? kHasAudio : type == kVideoTag ? kHasVideo : 0;
    if ((wanted & kind) != 0 && dataSize > 0) {
      const size_t length = std::min<size_t>(dataSize, 5);
      if (!reader.Read(offset + kFlvTagHeader, std::span(tag).subspan(kFlvTagHeader, length)))
        return;
      AddStream(found, Container::kFlv,
                CodecTag(type, std::span(tag).subspan(kFlvTagHeader, length)),
                kind == kHasAudio ? StreamKind::kAudio : StreamKind::kVideo);
      wanted &= static_cast<uint8_t>(~kind);
    }
    offset += kFlvTagHeader + dataSize + kFlvBackPointer;
  }
}

}  // namespace kindprobe::explain
