// ISO media (MP4, MOV, M4A): the top-level boxes, and whether the index box was written.
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

#include "engine/explain/explainers.h"
#include "engine/explain/layouts.h"

namespace kindprobe::explain {
namespace {

// Top-level boxes looked at. A whole file usually has under ten; a fragmented one has two for
// each fragment, and the read budget bounds the walk before this does.
constexpr int kMaxBoxes = 8192;
// The fragment index a finished fragmented file ends with: 'mfra', then inside it, last, the
// 16-byte 'mfro' that gives the size of the 'mfra'.
constexpr uint64_t kFragmentIndexEnd = 16;
// How much of a fragmented file's end is searched for its last fragment: a fragment of a
// second or two at modest rates. Larger ones are not searched for: the bytes would cost more
// than the whole check.
constexpr uint64_t kLastFragmentWindow = uint64_t{16} << 10;
// A fragment opens with 'moof', whose first child is the 16-byte 'mfhd': twelve bytes that
// media data all but never holds by chance, from the type on.
constexpr char kFragmentStart[] = "moof\0\0\0\x10mfhd";
constexpr size_t kFragmentStartLength = 12;
// Types that may open a file of this family.
constexpr const char* kOpeningTypes[] = {"ftyp", "moov", "mdat", "free", "skip", "wide", "pnot"};
// Types that stand at the top level of these files. Only a box of one of them is called cut
// when it runs past the end: other bytes there were appended to a whole file.
constexpr const char* kTopLevelTypes[] = {"ftyp", "styp", "moov", "mdat", "moof", "mfra", "free",
                                          "skip", "wide", "pnot", "uuid", "sidx", "ssix", "prft",
                                          "emsg", "meta", "pdin", "meco", "bloc"};

bool IsType(const uint8_t* p, const char* type) { return std::memcmp(p, type, 4) == 0; }

bool IsTopLevelType(const uint8_t* p) {
  return std::any_of(std::begin(kTopLevelTypes), std::end(kTopLevelTypes),
                     [&](const char* type) { return IsType(p, type); });
}

// Top-level box types are four printable characters; anything else is not a box.
bool IsBoxType(const uint8_t* p) {
  for (int i = 0; i < 4; ++i) {
    if (p[i] < 0x20 || p[i] > 0x7E) return false;
  }
  return true;
}

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

// Whether the file ends with a whole fragment index, which its writer adds last: then every
// fragment before it was written, and the walk need not visit them all.
bool EndsWithFragmentIndex(ExplainReader& reader) {
  const uint64_t end = reader.ContentEnd();
  std::array<uint8_t, kFragmentIndexEnd> mfro{};
  if (end < kFragmentIndexEnd || !reader.Read(end - kFragmentIndexEnd, mfro)) return false;
  if (Be32(mfro.data()) != kFragmentIndexEnd || !IsType(mfro.data() + 4, "mfro")) return false;
  const uint32_t mfraSize = Be32(mfro.data() + 12);
  std::array<uint8_t, kIsoBoxHeader> mfra{};
  return mfraSize >= kIsoBoxHeader + kFragmentIndexEnd && mfraSize <= end &&
         reader.Read(end - mfraSize, mfra) && Be32(mfra.data()) == mfraSize &&
         IsType(mfra.data() + 4, "mfra");
}

// Where the last fragment in the last kLastFragmentWindow bytes starts, if one does after
// `from`: the walk can go on from there instead of visiting every fragment before it.
std::optional<uint64_t> LastFragmentAt(ExplainReader& reader, uint64_t from) {
  const uint64_t size = reader.fileSize();
  const uint64_t start = std::max(from, size > kLastFragmentWindow ? size - kLastFragmentWindow : 0);
  std::span<const uint8_t> tail;
  if (size - start < kIsoBoxHeader + kFragmentStartLength ||
      !reader.View(start, static_cast<size_t>(size - start), &tail)) {
    return std::nullopt;
  }
  const std::string_view bytes(reinterpret_cast<const char*>(tail.data()), tail.size());
  const std::string_view mark(kFragmentStart, kFragmentStartLength);
  // Searched forwards, which runs at memchr's pace, keeping the last one found.
  std::optional<uint64_t> last;
  for (size_t at = bytes.find(mark, 4); at != std::string_view::npos; at = bytes.find(mark, at + 1)) {
    last = start + at - 4;
  }
  return last;
}

// What the boxes seen say once the walk has seen them all.
struct Walk {
  bool sawMoov = false;
  bool sawMeta = false;  // a still image's index (HEIF, AVIF), which has no moov
  bool sawMdat = false;
  uint64_t mediaBytes = 0;
  bool skipped = false;  // fragments were passed over unseen
  uint64_t moovBody = 0;  // where the first moov's children start
  uint64_t moovEnd = 0;

  void Judge(uint64_t size, Reasons* reasons) const {
    if (sawMeta && !sawMoov) return;
    // A file whose index was never written cannot be played.
    if (!sawMoov) {
      reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kIsoNoMoov, 0, size));
    } else if (!sawMdat) {
      reasons->push_back(Finding(ReasonCode::kNoMediaData, DetailId::kIsoNoMdat));
    } else if (mediaBytes == 0 && !skipped) {
      reasons->push_back(Finding(ReasonCode::kNoMediaData, DetailId::kIsoEmptyMdat));
    }
  }
};

// The top-level boxes, from the start: what they say goes to `reasons`, and where the index is
// to `walk`.
void WalkTopLevel(ExplainReader& reader, Reasons* reasons, Walk& walk) {
  const uint64_t size = reader.fileSize();
  bool lookedAtEnd = false;
  uint64_t offset = 0;
  for (int i = 0; i < kMaxBoxes; ++i) {
    // Fewer bytes than a box header after the last box are padding, not a box.
    if (size - offset < kIsoBoxHeader) {
      walk.Judge(size, reasons);
      return;
    }
    std::array<uint8_t, kIsoLargeBoxHeader> box{};
    // A read the budget refused, or that failed, leaves nothing to judge.
    if (!reader.Read(offset, std::span(box).first(kIsoBoxHeader))) return;
    // Bytes that are no box after the last one: data appended to a whole file.
    if (!IsBoxType(box.data() + 4)) {
      walk.Judge(size, reasons);
      return;
    }
    const uint32_t size32 = Be32(box.data());
    uint64_t boxSize = size32;
    uint64_t headerSize = kIsoBoxHeader;
    if (size32 == 0) {
      boxSize = size - offset;  // the last box, running to the end of the file
    } else if (size32 == 1) {
      if (size - offset < kIsoLargeBoxHeader) {
        reasons->push_back(BoxCut(offset + kIsoLargeBoxHeader, size, TypeText(box.data() + 4)));
        return;
      }
      if (!reader.Read(offset, box)) return;
      boxSize = Be64(box.data() + 8);
      headerSize = kIsoLargeBoxHeader;
      if (boxSize > kLargestPossibleFile) {
        reasons->push_back(ImpossibleSize(TypeText(box.data() + 4), boxSize));
        return;
      }
    }
    // A size smaller than its own header is damage, not a cut: no finding, and no loop.
    if (boxSize < headerSize) return;
    const uint64_t end = offset + boxSize;  // at most 2^48 past an offset within the file
    if (end > size) {
      // A tag or other data appended to the file (ID3v1 "TAG" reads as a size) is not a box
      // that was cut.
      if (!IsTopLevelType(box.data() + 4) || offset >= reader.ContentEnd()) {
        walk.Judge(size, reasons);
      } else {
        reasons->push_back(BoxCut(end, size, TypeText(box.data() + 4)));
      }
      return;
    }
    if (IsType(box.data() + 4, "moov") && !walk.sawMoov) {
      walk.sawMoov = true;
      walk.moovBody = offset + headerSize;
      walk.moovEnd = end;
    }
    walk.sawMeta = walk.sawMeta || IsType(box.data() + 4, "meta");
    if (IsType(box.data() + 4, "mdat")) {
      walk.sawMdat = true;
      walk.mediaBytes += boxSize - headerSize;
    }
    offset = end;
    if (IsType(box.data() + 4, "moof") && walk.sawMoov && !lookedAtEnd) {
      // A fragmented file: whole if it ends with its index, else judged by its last fragment.
      lookedAtEnd = true;
      if (EndsWithFragmentIndex(reader)) return;
      if (const auto last = LastFragmentAt(reader, offset)) {
        walk.skipped = *last != offset;
        offset = *last;
      }
    }
    if (offset == size) {
      walk.Judge(size, reasons);
      return;
    }
  }
}

}  // namespace

bool ExplainIsoMedia(ExplainReader& reader, Explanation* found) {
  const auto head = reader.head();
  if (head.size() < kIsoBoxHeader) return false;
  bool known = false;
  for (const char* type : kOpeningTypes) known = known || IsType(head.data() + 4, type);
  if (!known) return false;
  Walk walk;
  WalkTopLevel(reader, &found->reasons, walk);
  // The index names the streams, wherever it was found.
  if (walk.sawMoov) ReadIsoMediaStreams(reader, walk.moovBody, walk.moovEnd, found);
  return true;
}

}  // namespace kindprobe::explain
