// Matroska / WebM: the streams of the Tracks element, one per TrackEntry, by CodecID; and
// ContentEncryption, the mark of protected tracks.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "engine/explain/codec_names.h"
#include "engine/explain/ebml.h"
#include "engine/explain/explainers.h"

namespace kindprobe::explain {
namespace {

constexpr uint32_t kTracksId = 0x1654AE6B;
constexpr uint32_t kTrackEntryId = 0xAE;
constexpr uint32_t kTrackTypeId = 0x83;
constexpr uint32_t kCodecId = 0x86;
constexpr uint32_t kCodecPrivateId = 0x63A2;
// Tracks that carry Windows codecs name them in CodecPrivate, in the structures AVI has: a
// BITMAPINFOHEADER (its compression code at 16) or a WAVEFORMATEX. Their tags are AVI's.
constexpr std::string_view kWindowsVideo = "V_MS/VFW/FOURCC";
constexpr std::string_view kWindowsAudio = "A_MS/ACM";
constexpr size_t kCompressionAt = 16;
constexpr uint32_t kContentEncodingsId = 0x6D80;
constexpr uint32_t kContentEncodingId = 0x6240;
constexpr uint32_t kContentEncryptionId = 0x5035;
// How much of Tracks is read, in one read: the entries' IDs and types come first and are
// small; a CodecPrivate may be large, and what lies past this is not looked at.
constexpr uint64_t kLongestTracks = uint64_t{16} << 10;
// TrackType values.
constexpr uint64_t kVideoTrack = 1;
constexpr uint64_t kAudioTrack = 2;
constexpr uint64_t kSubtitleTrack = 0x11;

struct Element {
  uint32_t id = 0;
  std::span<const uint8_t> data;
};

// Calls `element` with each child in `bytes`; a child cut short by the end of `bytes` is given
// what there is of it. Stops at a child that is no element.
template <typename ElementFunction>
void ForEachChild(std::span<const uint8_t> bytes, ElementFunction&& element) {
  while (!bytes.empty()) {
    const auto id = ReadId(bytes);
    if (!id) return;
    const auto size = ReadVarInt(bytes.subspan(id->second));
    if (!size) return;
    const size_t header = id->second + size->length;
    const size_t length =
        size->unknown ? bytes.size() - header
                      : static_cast<size_t>(std::min<uint64_t>(size->value, bytes.size() - header));
    element(Element{id->first, bytes.subspan(header, length)});
    bytes = bytes.subspan(header + length);
  }
}

uint64_t Unsigned(std::span<const uint8_t> data) {
  uint64_t value = 0;
  for (size_t i = 0; i < data.size() && i < 8; ++i) value = value << 8 | data[i];
  return value;
}

StreamKind KindOfTrack(uint64_t type) {
  if (type == kVideoTrack) return StreamKind::kVideo;
  if (type == kAudioTrack) return StreamKind::kAudio;
  if (type == kSubtitleTrack) return StreamKind::kSubtitle;
  return StreamKind::kOther;
}

bool IsEncrypted(std::span<const uint8_t> encodings) {
  bool encrypted = false;
  ForEachChild(encodings, [&](const Element& encoding) {
    if (encoding.id != kContentEncodingId) return;
    ForEachChild(encoding.data, [&](const Element& child) {
      encrypted = encrypted || child.id == kContentEncryptionId;
    });
  });
  return encrypted;
}

void ReadTrackEntry(std::span<const uint8_t> entry, Explanation* found) {
  uint64_t type = 0;
  std::string codec;
  std::span<const uint8_t> codecPrivate;
  bool encrypted = false;
  ForEachChild(entry, [&](const Element& child) {
    if (child.id == kTrackTypeId) type = Unsigned(child.data);
    if (child.id == kCodecPrivateId) codecPrivate = child.data;
    if (child.id == kCodecId) {
      codec.assign(child.data.begin(), child.data.end());
      // A string may be padded with NULs.
      codec.erase(std::find(codec.begin(), codec.end(), '\0'), codec.end());
    }
    if (child.id == kContentEncodingsId) encrypted = encrypted || IsEncrypted(child.data);
  });
  if (encrypted) {
    found->reasons.push_back(Finding(ReasonCode::kEncrypted, DetailId::kEncrypted));
    found->reasons.back().name = u"ContentEncryption";
  }
  if (codec == kWindowsVideo && codecPrivate.size() >= kCompressionAt + 4) {
    AddStream(found, Container::kRiff, FourccTag(codecPrivate.subspan(kCompressionAt).first<4>()),
              StreamKind::kVideo);
  } else if (codec == kWindowsAudio && codecPrivate.size() >= 2) {
    AddStream(found, Container::kRiff, WaveFormatTag(codecPrivate), StreamKind::kAudio);
  } else if (!codec.empty()) {
    AddStream(found, Container::kMatroska, codec, KindOfTrack(type));
  }
}

}  // namespace

void ReadMatroskaStreams(ExplainReader& reader, uint64_t offset, uint64_t end, Explanation* found) {
  const ExplainReader::StreamReading streamReads(reader);
  for (int i = 0; i < kMaxSegmentChildren && offset < end; ++i) {
    std::array<uint8_t, kLongestElementHeader> header{};
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(header.size(), end - offset));
    if (!reader.Read(offset, std::span(header).first(wanted))) return;
    const auto id = ReadId(std::span(header).first(wanted));
    if (!id || id->first == kClusterId) return;
    const auto size = ReadVarInt(std::span(header).first(wanted).subspan(id->second));
    if (!size) return;
    const uint64_t dataAt = offset + id->second + size->length;
    if (id->first == kTracksId) {
      const uint64_t length = std::min({size->unknown ? end - dataAt : size->value,
                                        end > dataAt ? end - dataAt : 0, kLongestTracks});
      std::span<const uint8_t> tracks;
      if (!reader.View(dataAt, static_cast<size_t>(length), &tracks)) return;
      ForEachChild(tracks, [&](const Element& entry) {
        if (entry.id == kTrackEntryId && found->streams.size() < kMaxStreams) {
          ReadTrackEntry(entry.data, found);
        }
      });
      return;
    }
    if (size->unknown) return;
    offset = SaturatingAdd(dataAt, size->value);
  }
}

}  // namespace kindprobe::explain
