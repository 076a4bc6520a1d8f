// ISO media (MP4, MOV, M4A): the streams the index names, one per track, from the first entry
// of each track's sample descriptions; and the marks of protected content.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "engine/explain/codec_names.h"
#include "engine/explain/explainers.h"
#include "engine/explain/layouts.h"

namespace kindprobe::explain {
namespace {

constexpr uint64_t kFullBoxBody = 4;  // version and flags, before a full box's fields
// Children looked at in any one box: a track has a handful; a moov, one per track and a few.
constexpr int kMaxChildren = 64;
// Within hdlr's body: the handler type, after version, flags and four reserved bytes.
constexpr uint64_t kHandlerTypeAt = kFullBoxBody + 4;
// Within stsd's body: the first sample entry, after version, flags and the entry count.
constexpr uint64_t kFirstEntryAt = kFullBoxBody + 4;
// Where a sample entry's children start within its body: after the fields every entry has
// (8 bytes) and those of a visual entry (70) or a sound entry (20, and 16 or 36 more for
// QuickTime's versions 1 and 2, given first).
constexpr uint64_t kVisualEntryFields = 8 + 70;
constexpr uint64_t kSoundEntryFields = 8 + 20;
constexpr uint64_t kSoundVersionAt = 8;
constexpr uint64_t kSoundVersionExtra[] = {0, 16, 36};
// esds descriptors: ES (its flags say which optional fields follow its ID), then the decoder
// configuration, whose first byte is the object type.
constexpr uint8_t kEsDescriptor = 0x03;
constexpr uint8_t kDecoderConfigDescriptor = 0x04;
constexpr uint8_t kStreamDependenceFlag = 0x80;
constexpr uint8_t kUrlFlag = 0x40;
constexpr uint8_t kOcrStreamFlag = 0x20;
// The longest esds prefix the object type can lie within: full box header, two descriptor
// headers of up to 5 bytes, the ES fields with a URL of up to 255 bytes.
constexpr size_t kEsdsPrefix = kFullBoxBody + 5 + 3 + 2 + 1 + 255 + 2 + 5 + 1;

struct Box {
  std::array<char, 4> type{};
  uint64_t at = 0;
  uint64_t body = 0;  // where its contents start
  uint64_t end = 0;
};

bool Is(const Box& box, const char* type) { return std::memcmp(box.type.data(), type, 4) == 0; }

// The box at `at`, which must end by `limit` (a size of 0 runs to `limit`).
bool ReadBox(ExplainReader& reader, uint64_t at, uint64_t limit, Box* box) {
  std::array<uint8_t, kIsoLargeBoxHeader> header{};
  if (limit < at || limit - at < kIsoBoxHeader ||
      !reader.Read(at, std::span(header).first(kIsoBoxHeader))) {
    return false;
  }
  uint64_t size = Be32(header.data());
  box->body = at + kIsoBoxHeader;
  if (size == 0) {
    size = limit - at;
  } else if (size == 1) {
    if (limit - at < kIsoLargeBoxHeader || !reader.Read(at, header)) return false;
    size = Be64(header.data() + 8);
    box->body = at + kIsoLargeBoxHeader;
  }
  if (size < box->body - at || size > limit - at) return false;
  std::memcpy(box->type.data(), header.data() + 4, 4);
  box->at = at;
  box->end = at + size;
  return true;
}

// The first child of type `type` among the boxes from `from` to `end`.
bool FindChild(ExplainReader& reader, uint64_t from, uint64_t end, const char* type, Box* child) {
  for (int i = 0; i < kMaxChildren && from < end; ++i) {
    if (!ReadBox(reader, from, end, child)) return false;
    if (Is(*child, type)) return true;
    from = child->end;
  }
  return false;
}

// Descends from `box` through the children named in `path`, in order.
bool Descend(ExplainReader& reader, Box box, std::initializer_list<const char*> path, Box* found) {
  for (const char* type : path) {
    if (!FindChild(reader, box.body, box.end, type, &box)) return false;
  }
  *found = box;
  return true;
}

std::string TypeTag(const Box& box) { return std::string(box.type.data(), box.type.size()); }

StreamKind KindOfHandler(const std::array<uint8_t, 4>& handler) {
  const auto is = [&](const char* type) { return std::memcmp(handler.data(), type, 4) == 0; };
  if (is("vide")) return StreamKind::kVideo;
  if (is("soun")) return StreamKind::kAudio;
  if (is("subt") || is("text") || is("sbtl") || is("clcp")) return StreamKind::kSubtitle;
  return StreamKind::kOther;
}

// The size field of a descriptor: up to four bytes of seven bits, the top bit saying more
// follow.
bool DescriptorSize(std::span<const uint8_t> bytes, size_t* at, uint64_t* size) {
  *size = 0;
  for (int i = 0; i < 4; ++i) {
    if (*at >= bytes.size()) return false;
    const uint8_t b = bytes[(*at)++];
    *size = *size << 7 | (b & 0x7F);
    if ((b & 0x80) == 0) return true;
  }
  return true;
}

// The object type in an esds box: "mp4a.40" for AAC, "mp4v.20" for MPEG-4 Visual.
bool ObjectType(ExplainReader& reader, const Box& esds, uint8_t* objectType) {
  const size_t length = static_cast<size_t>(std::min<uint64_t>(esds.end - esds.body, kEsdsPrefix));
  std::span<const uint8_t> bytes;
  if (!reader.View(esds.body, length, &bytes)) return false;
  size_t at = kFullBoxBody;
  uint64_t size = 0;
  if (at >= bytes.size() || bytes[at++] != kEsDescriptor || !DescriptorSize(bytes, &at, &size)) {
    return false;
  }
  if (at + 3 > bytes.size()) return false;
  const uint8_t flags = bytes[at + 2];
  at += 3;
  if (flags & kStreamDependenceFlag) at += 2;
  if ((flags & kUrlFlag) && at < bytes.size()) at += 1 + bytes[at];
  if (flags & kOcrStreamFlag) at += 2;
  if (at >= bytes.size() || bytes[at++] != kDecoderConfigDescriptor ||
      !DescriptorSize(bytes, &at, &size) || at >= bytes.size()) {
    return false;
  }
  *objectType = bytes[at];
  return true;
}

// An entry's esds: among its children, or in QuickTime's 'wave' among them.
bool FindEsds(ExplainReader& reader, uint64_t children, uint64_t end, Box* esds) {
  if (FindChild(reader, children, end, "esds", esds)) return true;
  Box wave;
  return FindChild(reader, children, end, "wave", &wave) &&
         FindChild(reader, wave.body, wave.end, "esds", esds);
}

// Within a protected entry's sinf: the original format (frma) and the scheme (schm).
void ReadProtection(ExplainReader& reader, const Box& sinf, std::string* tag, std::string* scheme) {
  Box box;
  std::array<uint8_t, 4> bytes{};
  if (FindChild(reader, sinf.body, sinf.end, "frma", &box) && box.end - box.body >= 4 &&
      reader.Read(box.body, bytes)) {
    *tag = std::string(bytes.begin(), bytes.end());
  }
  if (FindChild(reader, sinf.body, sinf.end, "schm", &box) &&
      box.end - box.body >= kFullBoxBody + 4 && reader.Read(box.body + kFullBoxBody, bytes)) {
    *scheme = std::string(bytes.begin(), bytes.end());
  }
}

Reason Encrypted(const std::string& scheme) {
  Reason reason = Finding(ReasonCode::kEncrypted, DetailId::kEncrypted);
  for (char c : scheme) reason.name += static_cast<char16_t>(c >= 0x20 && c < 0x7F ? c : '?');
  return reason;
}

// The track's stream, from its handler and the first sample entry.
void ReadTrack(ExplainReader& reader, const Box& trak, Explanation* found) {
  Box mdia;
  Box hdlr;
  std::array<uint8_t, 4> handler{};
  if (!Descend(reader, trak, {"mdia"}, &mdia)) return;
  if (FindChild(reader, mdia.body, mdia.end, "hdlr", &hdlr) &&
      hdlr.end - hdlr.body >= kHandlerTypeAt + handler.size()) {
    reader.Read(hdlr.body + kHandlerTypeAt, handler);
  }
  const StreamKind kind = KindOfHandler(handler);
  Box stsd;
  Box entry;
  if (!Descend(reader, mdia, {"minf", "stbl", "stsd"}, &stsd) ||
      !ReadBox(reader, stsd.body + kFirstEntryAt, stsd.end, &entry)) {
    return;
  }
  uint64_t children = entry.body + kVisualEntryFields;
  if (kind == StreamKind::kAudio) {
    std::array<uint8_t, 2> version{};
    if (!reader.Read(entry.body + kSoundVersionAt, version)) return;
    const uint32_t v = uint32_t{version[0]} << 8 | version[1];
    children = entry.body + kSoundEntryFields +
               (v < std::size(kSoundVersionExtra) ? kSoundVersionExtra[v] : 0);
  }
  std::string tag = TypeTag(entry);
  Box child;
  if (Is(entry, "encv") || Is(entry, "enca")) {
    std::string scheme = tag;
    if (FindChild(reader, children, entry.end, "sinf", &child)) {
      ReadProtection(reader, child, &tag, &scheme);
    }
    found->reasons.push_back(Encrypted(scheme));
  } else if (Is(entry, "drms") || Is(entry, "drmi")) {
    found->reasons.push_back(Encrypted(tag));
  }
  uint8_t objectType = 0;
  if ((tag == "mp4a" || tag == "mp4v") && FindEsds(reader, children, entry.end, &child) &&
      ObjectType(reader, child, &objectType)) {
    tag += '.' + HexTag(objectType, 2).substr(2);
  }
  AddStream(found, Container::kIsoMedia, tag, kind);
}

}  // namespace

void ReadIsoMediaStreams(ExplainReader& reader, uint64_t moovBody, uint64_t moovEnd,
                         Explanation* found) {
  const ExplainReader::StreamReading streamReads(reader);
  uint64_t at = moovBody;
  for (int i = 0; i < kMaxChildren && at < moovEnd; ++i) {
    Box box;
    if (!ReadBox(reader, at, moovEnd, &box)) return;
    if (Is(box, "trak")) {
      if (found->streams.size() >= kMaxStreams) return;
      ReadTrack(reader, box, found);
    } else if (Is(box, "pssh")) {
      // A licence system's data: the content is protected even where the entries do not say.
      found->reasons.push_back(Encrypted("pssh"));
    }
    at = box.end;
  }
}

}  // namespace kindprobe::explain
