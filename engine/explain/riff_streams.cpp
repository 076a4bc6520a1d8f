// RIFF: the streams of an AVI, from the stream headers and formats in its hdrl list, and the
// format of a WAV, from its fmt chunk.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "engine/explain/codec_names.h"
#include "engine/explain/explainers.h"
#include "engine/explain/layouts.h"

namespace kindprobe::explain {
namespace {

constexpr uint64_t kListHeader = 12;  // a chunk header and the list type
// How much of hdrl is read, in one read: its stream lists lie within it, a few KiB in all, and
// the second stream's may lie past the head.
constexpr uint64_t kLongestHdrl = uint64_t{32} << 10;
// Chunks looked at in any list, and at the top level of a WAV before its fmt chunk.
constexpr int kMaxChunks = 64;
// Within a BITMAPINFOHEADER: the compression four-character code.
constexpr size_t kCompressionAt = 16;
constexpr size_t kFourcc = 4;

bool Is(std::span<const uint8_t> bytes, size_t at, const char (&tag)[5]) {
  return at + kFourcc <= bytes.size() && std::memcmp(bytes.data() + at, tag, kFourcc) == 0;
}

// Calls `chunk` with the id's offset and the data of each chunk in `bytes`; one cut short by
// the end of `bytes` is given what there is of it.
template <typename ChunkFunction>
void ForEachChunk(std::span<const uint8_t> bytes, ChunkFunction&& chunk) {
  size_t at = 0;
  for (int i = 0; i < kMaxChunks && at + kRiffChunkHeader <= bytes.size(); ++i) {
    const uint64_t size = Le32(bytes.data() + at + 4);
    const size_t length =
        static_cast<size_t>(std::min<uint64_t>(size, bytes.size() - at - kRiffChunkHeader));
    chunk(at, bytes.subspan(at + kRiffChunkHeader, length));
    if (size > bytes.size() - at - kRiffChunkHeader) return;
    at += kRiffChunkHeader + length + (length & 1);
  }
}

// One stream list (strl): its strh says the kind, its strf the codec.
void ReadStreamList(std::span<const uint8_t> strl, Explanation* found) {
  StreamKind kind = StreamKind::kOther;
  std::span<const uint8_t> format;
  std::string handler;
  ForEachChunk(strl, [&](size_t at, std::span<const uint8_t> data) {
    if (Is(strl, at, "strh") && data.size() >= 2 * kFourcc) {
      if (Is(data, 0, "vids")) kind = StreamKind::kVideo;
      if (Is(data, 0, "auds")) kind = StreamKind::kAudio;
      if (Is(data, 0, "txts")) kind = StreamKind::kSubtitle;
      handler = FourccTag(data.subspan(kFourcc).first<kFourcc>());
    } else if (Is(strl, at, "strf")) {
      format = data;
    }
  });
  std::string tag = handler;
  if (kind == StreamKind::kVideo && format.size() >= kCompressionAt + kFourcc) {
    tag = FourccTag(format.subspan(kCompressionAt).first<kFourcc>());
  } else if (kind == StreamKind::kAudio && format.size() >= 2) {
    tag = WaveFormatTag(format);
  }
  if (!tag.empty()) AddStream(found, Container::kRiff, tag, kind);
}

void ReadAviStreams(ExplainReader& reader, Explanation* found) {
  std::array<uint8_t, kListHeader> list{};
  if (!reader.Read(kRiffFirstChunk, list) || !Is(list, 0, "LIST") || !Is(list, 8, "hdrl")) return;
  const uint64_t length = std::min<uint64_t>(Le32(list.data() + 4), kLongestHdrl);
  const uint64_t available = reader.fileSize() - kRiffFirstChunk - kListHeader;
  std::span<const uint8_t> hdrl;
  if (length < 4 || !reader.View(kRiffFirstChunk + kListHeader,
                                 static_cast<size_t>(std::min(length - 4, available)), &hdrl)) {
    return;
  }
  ForEachChunk(hdrl, [&](size_t at, std::span<const uint8_t> data) {
    if (Is(hdrl, at, "LIST") && Is(data, 0, "strl") && found->streams.size() < kMaxStreams) {
      ReadStreamList(data.subspan(kFourcc), found);
    }
  });
}

void ReadWaveFormat(ExplainReader& reader, Explanation* found) {
  uint64_t offset = kRiffFirstChunk;
  for (int i = 0; i < kMaxChunks; ++i) {
    std::array<uint8_t, kRiffChunkHeader> chunk{};
    if (!reader.Read(offset, chunk)) return;
    const uint32_t size = Le32(chunk.data() + 4);
    if (Is(chunk, 0, "fmt ")) {
      std::span<const uint8_t> format;
      const size_t length = std::min<size_t>(size, kWaveFormatTagBytes);
      if (reader.View(offset + kRiffChunkHeader, length, &format)) {
        AddStream(found, Container::kRiff, WaveFormatTag(format), StreamKind::kAudio);
      }
      return;
    }
    if (Is(chunk, 0, "data")) return;
    offset += kRiffChunkHeader + size + (size & 1);
  }
}

}  // namespace

void ReadRiffStreams(ExplainReader& reader, bool avi, Explanation* found) {
  const ExplainReader::StreamReading streamReads(reader);
  if (avi) {
    ReadAviStreams(reader, found);
  } else {
    ReadWaveFormat(reader, found);
  }
}

}  // namespace kindprobe::explain
