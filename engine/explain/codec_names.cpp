#include "engine/explain/codec_names.h"

#include <algorithm>
#include <map>
#include <utility>

#include "engine/tab_table.h"
#include "platform/utf.h"

extern const unsigned char kEmbeddedCodecNames[];
extern const std::size_t kEmbeddedCodecNamesSize;

namespace kindprobe::explain {
namespace {

constexpr std::string_view kSameName = "-";
// WAVEFORMATEX: the format tag first; an extensible one (0xFFFE) with at least 22 bytes of
// extension has its sub-format GUID at 24, whose first two bytes are the real tag.
constexpr uint32_t kExtensibleFormat = 0xFFFE;
constexpr size_t kSubFormatAt = 24;
static_assert(kWaveFormatTagBytes == kSubFormatAt + 2);
constexpr std::string_view kKindNames[] = {"video", "audio", "subtitle", "other"};

struct CodecName {
  StreamKind kind = StreamKind::kOther;
  std::u16string english;
  std::u16string chinese;
};

using NameTable = std::map<std::pair<Container, std::string>, CodecName, std::less<>>;

std::string CleanTag(std::string_view tag) {
  std::string clean(tag.substr(0, kMaxTagLength));
  for (char& c : clean) {
    if (c < 0x20 || c > 0x7E) c = '?';
  }
  while (!clean.empty() && clean.back() == ' ') clean.pop_back();
  return clean;
}

// Rows "CONTAINERS<TAB>TAG<TAB>KIND<TAB>English<TAB>Chinese".
NameTable ParseTable(std::string_view text) {
  NameTable table;
  ForEachTableRow<5>(text, [&](const auto& row) {
    const auto* kind = std::find(std::begin(kKindNames), std::end(kKindNames), row[2]);
    if (kind == std::end(kKindNames)) return;
    CodecName name{static_cast<StreamKind>(kind - std::begin(kKindNames)),
                   platform::Utf8ToUtf16(row[3]),
                   row[4] == kSameName ? std::u16string() : platform::Utf8ToUtf16(row[4])};
    std::string_view containers = row[0];
    while (!containers.empty()) {
      const size_t end = containers.find(' ');
      const std::string_view container = containers.substr(0, end);
      containers = end == std::string_view::npos ? std::string_view() : containers.substr(end + 1);
      const auto* found =
          std::find(std::begin(kContainerNames), std::end(kContainerNames), container);
      if (found == std::end(kContainerNames)) continue;
      table[{static_cast<Container>(found - std::begin(kContainerNames)), CleanTag(row[1])}] = name;
    }
  });
  return table;
}

const NameTable& Table() {
  static const NameTable table = ParseTable(std::string_view(
      reinterpret_cast<const char*>(kEmbeddedCodecNames), kEmbeddedCodecNamesSize));
  return table;
}

}  // namespace

Stream NamedStream(Container container, std::string_view tag, StreamKind kind) {
  Stream stream;
  stream.tag = CleanTag(tag);
  stream.kind = kind;
  const auto found = Table().find(std::pair(container, stream.tag));
  if (found == Table().end()) {
    stream.codec = platform::Utf8ToUtf16(stream.tag);
    return stream;
  }
  stream.kind = found->second.kind;
  stream.codec = found->second.english;
  stream.codecZh = found->second.chinese;
  return stream;
}

void AddStream(Explanation* explanation, Container container, std::string_view tag,
               StreamKind kind) {
  if (explanation->streams.size() >= kMaxStreams) return;
  Stream stream = NamedStream(container, tag, kind);
  // A structure too short to hold its identifier names no stream.
  if (!stream.tag.empty()) explanation->streams.push_back(std::move(stream));
}

std::string HexTag(uint32_t value, int digits) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string tag = "0x";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) tag += kHex[(value >> shift) & 0xF];
  return tag;
}

std::string FourccTag(std::span<const uint8_t, 4> fourcc) {
  const bool printable =
      std::all_of(fourcc.begin(), fourcc.end(), [](uint8_t b) { return b >= 0x20 && b < 0x7F; });
  if (printable) return std::string(fourcc.begin(), fourcc.end());
  return HexTag(
      uint32_t{fourcc[3]} << 24 | uint32_t{fourcc[2]} << 16 | uint32_t{fourcc[1]} << 8 | fourcc[0],
      8);
}

std::string WaveFormatTag(std::span<const uint8_t> format) {
  if (format.size() < 2) return {};
  uint32_t tag = uint32_t{format[1]} << 8 | format[0];
  if (tag == kExtensibleFormat && format.size() >= kSubFormatAt + 2) {
    tag = uint32_t{format[kSubFormatAt + 1]} << 8 | format[kSubFormatAt];
  }
  return HexTag(tag, 4);
}

}  // namespace kindprobe::explain
