// MPEG transport stream: the streams the program map table lists, by stream type. The program
// association table (PID 0) says where each map is; writers repeat both within the first
// packets.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/explain/codec_names.h"
#include "engine/explain/explainers.h"
#include "engine/explain/layouts.h"

namespace kindprobe::explain {
namespace {

constexpr uint8_t kPayloadStart = 0x40;
constexpr uint8_t kHasAdaptation = 0x20;
constexpr uint8_t kHasPayload = 0x10;
constexpr uint32_t kPatPid = 0;
constexpr uint8_t kPmtTableId = 0x02;
// How much of the file is searched for the tables: the head, or this much when the head lacks
// them (a capture may start a little before its first tables), in one read.
constexpr uint64_t kTableSearch = uint64_t{32} << 10;
// Programs followed from the association table.
constexpr size_t kMaxPrograms = 4;
// Stream type 0x06 (private data): the codec is in a descriptor, a registration's
// four-character code (tag 0x05) or a DVB descriptor's tag (AC-3 0x6A, E-AC-3 0x7A, ...).
constexpr uint8_t kPrivateStream = 0x06;
constexpr uint8_t kRegistrationDescriptor = 0x05;
constexpr uint8_t kDvbDescriptorsFrom = 0x40;
constexpr size_t kCrcSize = 4;

// The section a packet starts, from its pointer field on: empty when the packet starts none.
std::span<const uint8_t> SectionOf(std::span<const uint8_t> packet) {
  if (packet[0] != kTsSyncByte || (packet[1] & kPayloadStart) == 0 ||
      (packet[3] & kHasPayload) == 0) {
    return {};
  }
  size_t at = 4;
  if (packet[3] & kHasAdaptation) at += 1 + packet[4];
  if (at >= packet.size()) return {};
  at += 1 + packet[at];  // the pointer field
  if (at + 3 > packet.size()) return {};
  const size_t length = (size_t{packet[at + 1]} & 0x0F) << 8 | packet[at + 2];
  if (length < kCrcSize + 5 || at + 3 + length > packet.size()) return {};
  return packet.subspan(at, 3 + length - kCrcSize);  // the CRC is not needed
}

uint32_t PidOf(std::span<const uint8_t> packet) {
  return (uint32_t{packet[1]} & 0x1F) << 8 | packet[2];
}

// The private stream's tag from its descriptors: "0x06.Opus", "0x06.0x6A".
std::string PrivateTag(std::span<const uint8_t> descriptors) {
  std::string dvb;
  while (descriptors.size() >= 2) {
    const uint8_t tag = descriptors[0];
    const size_t length = std::min<size_t>(descriptors[1], descriptors.size() - 2);
    if (tag == kRegistrationDescriptor && length >= 4) {
      return HexTag(kPrivateStream, 2) + "." + FourccTag(descriptors.subspan(2).first<4>());
    }
    if (tag >= kDvbDescriptorsFrom && dvb.empty())
      dvb = HexTag(kPrivateStream, 2) + "." + HexTag(tag, 2);
    descriptors = descriptors.subspan(2 + length);
  }
  return dvb.empty() ? HexTag(kPrivateStream, 2) : dvb;
}

void ReadProgramMap(std::span<const uint8_t> section, Explanation* found) {
  if (section[0] != kPmtTableId || section.size() < 12) return;
  const size_t programInfo = (size_t{section[10]} & 0x0F) << 8 | section[11];
  size_t at = 12 + programInfo;
  while (at + 5 <= section.size() && found->streams.size() < kMaxStreams) {
    const uint8_t type = section[at];
    const size_t infoLength = (size_t{section[at + 3]} & 0x0F) << 8 | section[at + 4];
    const auto descriptors = section.subspan(at + 5, std::min(infoLength, section.size() - at - 5));
    const std::string tag = type == kPrivateStream ? PrivateTag(descriptors) : HexTag(type, 2);
    AddStream(found, Container::kMpegTs, tag, StreamKind::kOther);
    at += 5 + infoLength;
  }
}

// The maps' PIDs from the association table in `bytes`, and the maps themselves.
bool ReadTables(std::span<const uint8_t> bytes, Explanation* found) {
  std::vector<uint32_t> mapPids;
  const size_t packets = bytes.size() / kTsPacketSize;
  for (size_t i = 0; i < packets && mapPids.empty(); ++i) {
    const auto packet = bytes.subspan(i * kTsPacketSize, kTsPacketSize);
    if (PidOf(packet) != kPatPid) continue;
    const auto section = SectionOf(packet);
    for (size_t at = 8; at + 4 <= section.size() && mapPids.size() < kMaxPrograms; at += 4) {
      const uint32_t program = uint32_t{section[at]} << 8 | section[at + 1];
      if (program != 0)
        mapPids.push_back((uint32_t{section[at + 2]} & 0x1F) << 8 | section[at + 3]);
    }
  }
  size_t read = 0;
  for (size_t i = 0; i < packets && read < mapPids.size(); ++i) {
    const auto packet = bytes.subspan(i * kTsPacketSize, kTsPacketSize);
    const auto at = std::find(mapPids.begin(), mapPids.end(), PidOf(packet));
    if (at == mapPids.end()) continue;
    const auto section = SectionOf(packet);
    if (section.empty()) continue;
    ReadProgramMap(section, found);
    *at = UINT32_MAX;  // each map once
    ++read;
  }
  return read > 0;
}

}  // namespace

void ReadMpegTsStreams(ExplainReader& reader, Explanation* found) {
  const ExplainReader::StreamReading streamReads(reader);
  if (ReadTables(reader.head(), found)) return;
  const uint64_t length = std::min(reader.fileSize(), kTableSearch);
  std::span<const uint8_t> bytes;
  if (length > reader.head().size() && reader.View(0, static_cast<size_t>(length), &bytes)) {
    ReadTables(bytes, found);
  }
}

}  // namespace kindprobe::explain
