// ASF (WMV, WMA): the streams of the header's Stream Properties Objects, and its Content
// Encryption Objects, the marks of protected content.
#include <algorithm>
#include <cstring>
#include <span>
#include <string>

#include "engine/explain/codec_names.h"
#include "engine/explain/explainers.h"

namespace kindprobe::explain {
namespace {

// GUIDs as they lie in the file (the first three fields little-endian).
using Guid = uint8_t[16];
constexpr Guid kStreamPropertiesObject = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                          0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kAudioMedia = {0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11,
                              0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
constexpr Guid kVideoMedia = {0xC0, 0xEF, 0x19, 0xBC, 0x4D, 0x5B, 0xCF, 0x11,
                              0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
constexpr Guid kContentEncryptionObject = {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11,
                                           0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E};
constexpr Guid kExtendedContentEncryptionObject = {0x14, 0xE6, 0x8A, 0x29, 0x22, 0x26, 0x17, 0x4C,
                                                   0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28, 0x9C};
constexpr size_t kGuidSize = 16;
// Within Stream Properties: the stream type after the object header, the type-specific data
// after two GUIDs, the time offset, two lengths, flags and four reserved bytes.
constexpr size_t kStreamTypeAt = 24;
constexpr size_t kTypeSpecificAt = kStreamTypeAt + 2 * kGuidSize + 8 + 4 + 4 + 2 + 4;
// A video stream's type-specific data: width, height, a reserved byte and the size of the
// format data, then a BITMAPINFOHEADER, whose compression code is at 16.
constexpr size_t kVideoCompressionAt = kTypeSpecificAt + 4 + 4 + 1 + 2 + 16;
// Enough of Stream Properties for either kind (an audio format's extensible sub-format too).
constexpr size_t kStreamPropertiesRead =
    std::max(kTypeSpecificAt + kWaveFormatTagBytes, kVideoCompressionAt + 4);

bool IsGuid(std::span<const uint8_t> bytes, size_t at, const Guid& guid) {
  return at + kGuidSize <= bytes.size() && std::memcmp(bytes.data() + at, guid, kGuidSize) == 0;
}

void ReadStreamProperties(std::span<const uint8_t> object, Explanation* found) {
  if (IsGuid(object, kStreamTypeAt, kAudioMedia) && object.size() > kTypeSpecificAt) {
    AddStream(found, Container::kAsf, WaveFormatTag(object.subspan(kTypeSpecificAt)),
              StreamKind::kAudio);
  } else if (IsGuid(object, kStreamTypeAt, kVideoMedia) &&
             object.size() >= kVideoCompressionAt + 4) {
    AddStream(found, Container::kAsf, FourccTag(object.subspan(kVideoCompressionAt).first<4>()),
              StreamKind::kVideo);
  }
}

}  // namespace

void ReadAsfObject(ExplainReader& reader, uint64_t offset, uint64_t objectSize,
                   Explanation* found) {
  const ExplainReader::StreamReading streamReads(reader);
  std::span<const uint8_t> object;
  const size_t length = static_cast<size_t>(std::min<uint64_t>(objectSize, kStreamPropertiesRead));
  if (!reader.View(offset, length, &object)) return;
  if (IsGuid(object, 0, kStreamPropertiesObject)) {
    ReadStreamProperties(object, found);
  } else if (IsGuid(object, 0, kContentEncryptionObject) ||
             IsGuid(object, 0, kExtendedContentEncryptionObject)) {
    Reason reason = Finding(ReasonCode::kEncrypted, DetailId::kEncrypted);
    reason.name = u"Windows Media DRM";
    found->reasons.push_back(std::move(reason));
  }
}

}  // namespace kindprobe::explain
