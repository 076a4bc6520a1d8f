// Ogg: the streams of the file, one per logical stream. Each opens with a page marked
// beginning-of-stream, all of them before any other page, and its first packet opens with the
// codec's own word ("\x01vorbis", "OpusHead", "\x80theora", "\x7FFLAC").
#include <array>
#include <cctype>
#include <string>

#include "engine/explain/codec_names.h"
#include "engine/explain/explainers.h"
#include "engine/explain/layouts.h"

namespace kindprobe::explain {
namespace {

constexpr uint8_t kBeginningOfStream = 0x02;
// The word is at most this long, after at most one byte of packet type.
constexpr size_t kLongestWord = 8;

bool IsWordByte(uint8_t b) { return std::isalnum(b) != 0; }

// The codec's word at the start of a first packet.
std::string Word(std::span<const uint8_t> packet) {
  size_t at = !packet.empty() && !IsWordByte(packet[0]) ? 1 : 0;
  std::string word;
  while (at < packet.size() && word.size() < kLongestWord && IsWordByte(packet[at])) {
    word += static_cast<char>(packet[at++]);
  }
  return word;
}

}  // namespace

void ReadOggStreams(ExplainReader& reader, Explanation* found) {
  const ExplainReader::StreamReading streamReads(reader);
  uint64_t offset = 0;
  while (found->streams.size() < kMaxStreams) {
    std::array<uint8_t, kOggPageHeader> page{};
    if (!reader.Read(offset, page) || page[0] != 'O' || page[1] != 'g' || page[2] != 'g' ||
        page[3] != 'S' || (page[5] & kBeginningOfStream) == 0) {
      return;
    }
    const size_t segments = page[26];
    std::span<const uint8_t> lacing;
    if (!reader.View(offset + kOggPageHeader, segments, &lacing)) return;
    uint64_t body = 0;
    for (uint8_t length : lacing) body += length;
    std::span<const uint8_t> packet;
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(body, kLongestWord + 1));
    if (!reader.View(offset + kOggPageHeader + segments, wanted, &packet)) return;
    const std::string word = Word(packet);
    if (!word.empty()) AddStream(found, Container::kOgg, word, StreamKind::kOther);
    offset += kOggPageHeader + segments + body;
  }
}

}  // namespace kindprobe::explain
