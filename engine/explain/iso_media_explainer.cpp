// ISO media (MP4, MOV, M4A): the top-level boxes, and whether the index box was written.
#include <array>
#include <cstring>

#include "engine/explain/explainers.h"

namespace kindprobe::explain {
namespace {

// Top-level boxes looked at. A whole file usually has under ten; a fragmented one may have
// more, and then the walk stops without judging the missing index.
constexpr int kMaxBoxes = 32;
constexpr uint64_t kBoxHeader = 8;
constexpr uint64_t kLargeBoxHeader = 16;
// Types that may open a file of this family.
constexpr const char* kOpeningTypes[] = {"ftyp", "moov", "mdat", "free", "skip", "wide", "pnot"};

bool IsType(const uint8_t* p, const char* type) { return std::memcmp(p, type, 4) == 0; }

std::u16string TypeText(const uint8_t* p) {
  std::u16string text(4, u'?');
  for (size_t i = 0; i < text.size(); ++i) {
    if (p[i] >= 0x20 && p[i] < 0x7F) text[i] = p[i];
  }
  return text;
}

Reason BoxCut(uint64_t end, uint64_t size, std::u16string type) {
  Reason reason = Finding(ReasonCode::kTruncated, DetailId::kIsoBox, end, size);
  reason.name = std::move(type);
  return reason;
}

}  // namespace

bool ExplainIsoMedia(ExplainReader& reader, Reasons* reasons) {
  const auto head = reader.head();
  if (head.size() < kBoxHeader) return false;
  bool known = false;
  for (const char* type : kOpeningTypes) known = known || IsType(head.data() + 4, type);
  if (!known) return false;

  const uint64_t size = reader.fileSize();
  bool sawMoov = false;
  bool sawMdat = false;
  uint64_t offset = 0;
  for (int i = 0; i < kMaxBoxes; ++i) {
    if (offset == size) {
      // Every box was walked: a file whose index was never written cannot be played.
      if (!sawMoov) {
        reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kIsoNoMoov, 0, size));
      } else if (!sawMdat) {
        reasons->push_back(Finding(ReasonCode::kNoMediaData, DetailId::kIsoNoMdat));
      }
      return true;
    }
    std::array<uint8_t, kLargeBoxHeader> box{};
    if (!reader.Read(offset, std::span(box).first(kBoxHeader))) {
      // Fewer than 8 bytes left: a box header that was cut.
      if (size - offset < kBoxHeader) {
        reasons->push_back(BoxCut(offset + kBoxHeader, size, std::u16string(4, u'?')));
      }
      return true;
    }
    const uint32_t size32 = Be32(box.data());
    uint64_t boxSize = size32;
    uint64_t headerSize = kBoxHeader;
    if (size32 == 0) {
      boxSize = size - offset;  // the last box, running to the end of the file
    } else if (size32 == 1) {
      if (!reader.Read(offset, box)) {
        reasons->push_back(BoxCut(offset + kLargeBoxHeader, size, TypeText(box.data() + 4)));
        return true;
      }
      boxSize = Be64(box.data() + 8);
      headerSize = kLargeBoxHeader;
    }
    // A size smaller than its own header is damage, not a cut: no finding, and no loop.
    if (boxSize < headerSize) return true;
    sawMoov = sawMoov || IsType(box.data() + 4, "moov");
    sawMdat = sawMdat || IsType(box.data() + 4, "mdat");
    const uint64_t end = SaturatingAdd(offset, boxSize);
    if (end > size) {
      reasons->push_back(BoxCut(end, size, TypeText(box.data() + 4)));
      return true;
    }
    offset = end;
  }
  return true;
}

}  // namespace kindprobe::explain
