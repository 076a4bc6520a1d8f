// FLV: the chain of previous-tag-sizes from the end of the file, and the size the metadata
// promises.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <span>
#include <string_view>

#include "engine/explain/explainers.h"
#include "engine/explain/layouts.h"

namespace kindprobe::explain {
namespace {

constexpr uint8_t kScriptTag = 18;
constexpr uint8_t kTagTypes[] = {8, 9, kScriptTag};  // audio, video, script data
// The AMF key and the marker of a number that follows it.
using std::string_view_literals::operator""sv;
constexpr std::string_view kFileSizeKey =
    "\x00\x08"
    "filesize"
    "\x00"sv;

bool IsTagType(uint8_t b) {
  return std::find(std::begin(kTagTypes), std::end(kTagTypes), b & 0x1F) != std::end(kTagTypes);
}

// The metadata's filesize, looked for only in the first tag and only as far as the head goes.
double MetadataFileSize(std::span<const uint8_t> head, uint64_t firstTag) {
  if (firstTag + kFlvTagHeader > head.size() || (head[firstTag] & 0x1F) != kScriptTag) return 0;
  const uint64_t dataEnd =
      std::min<uint64_t>(head.size(), firstTag + kFlvTagHeader + Be24(&head[firstTag + 1]));
  const std::string_view body(reinterpret_cast<const char*>(head.data()) + firstTag + kFlvTagHeader,
                              dataEnd - firstTag - kFlvTagHeader);
  const size_t at = body.find(kFileSizeKey);
  if (at == std::string_view::npos || at + kFileSizeKey.size() + 8 > body.size()) return 0;
  const auto* number = reinterpret_cast<const uint8_t*>(body.data() + at + kFileSizeKey.size());
  return std::bit_cast<double>(Be64(number));
}

// Whether `tag` opens a tag of `tagSize` bytes, header included, as a back pointer says.
bool IsTagHeaderOf(const uint8_t* tag, uint32_t tagSize) {
  return IsTagType(tag[0]) && Be24(tag + 1) + kFlvTagHeader == tagSize && Be24(tag + 8) == 0;
}

// Whether the previous-tag-size just before `end` leads back to a tag header that ends there.
// `lastTagSize` gets what it says.
bool EndsWithWholeTag(ExplainReader& reader, uint64_t firstTag, uint64_t end,
                      uint32_t* lastTagSize) {
  std::array<uint8_t, kFlvBackPointer> back{};
  *lastTagSize = 0;
  if (end < firstTag + kFlvTagHeader + kFlvBackPointer ||
      !reader.Read(end - kFlvBackPointer, back)) {
    return false;
  }
  *lastTagSize = Be32(back.data());
  if (*lastTagSize < kFlvTagHeader || *lastTagSize > end - kFlvBackPointer - firstTag) return false;
  std::array<uint8_t, kFlvTagHeader> tag{};
  const uint64_t tagAt = end - kFlvBackPointer - *lastTagSize;
  return reader.Read(tagAt, tag) && IsTagHeaderOf(tag.data(), *lastTagSize);
}

// Whether the file goes on, after a whole tag near `end`, with bytes that open no tag: data
// appended to a whole file. Looks back at most kAppendedWindow bytes, for a back pointer that
// leads to a tag header within them.
constexpr uint64_t kAppendedWindow = 4096;

bool EndsWithAppendedData(ExplainReader& reader, uint64_t firstTag, uint64_t end) {
  const uint64_t start = std::max(firstTag, end > kAppendedWindow ? end - kAppendedWindow : 0);
  std::span<const uint8_t> bytes;
  if (end <= start || !reader.View(start, static_cast<size_t>(end - start), &bytes)) return false;
  // From the end back: the first boundary found is the last whole tag's.
  for (size_t after = bytes.size(); after >= kFlvTagHeader + kFlvBackPointer; --after) {
    const uint32_t tagSize = Be32(&bytes[after - kFlvBackPointer]);
    if (tagSize < kFlvTagHeader || tagSize > after - kFlvBackPointer) continue;
    if (!IsTagHeaderOf(&bytes[after - kFlvBackPointer - tagSize], tagSize)) continue;
    return after < bytes.size() && !IsTagType(bytes[after]);
  }
  return false;
}

}  // namespace

bool ExplainFlv(ExplainReader& reader, Explanation* found) {
  Reasons* reasons = &found->reasons;
  const auto head = reader.head();
  if (head.size() < 9 || std::memcmp(head.data(), "FLV", 3) != 0) return false;
  const uint64_t size = reader.fileSize();
  const uint64_t firstTag = uint64_t{Be32(head.data() + 5)} + kFlvBackPointer;
  // The first tags lie at the start, the back pointers looked at next at the end.
  ReadFlvStreams(reader, firstTag, found);

  const double promised = MetadataFileSize(head, firstTag);
  if (promised > static_cast<double>(kLargestPossibleFile)) {
    // Finite or not, no file is that large: the metadata is damaged.
    reasons->push_back(ImpossibleSize(
        u"onMetaData filesize", promised < 0x1p64 ? static_cast<uint64_t>(promised) : UINT64_MAX));
  } else if (promised > static_cast<double>(size)) {
    reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kFlvFileSize,
                               static_cast<uint64_t>(promised), size));
  }

  if (size < firstTag) return true;
  if (size == firstTag) {
    reasons->push_back(Finding(ReasonCode::kNoMediaData, DetailId::kFlvNoTags));
    return true;
  }
  // The last four bytes give the size of the last tag; a whole file leads back to its header.
  // A tag appended to the file comes after them.
  uint32_t lastTagSize = 0;
  if (EndsWithWholeTag(reader, firstTag, size, &lastTagSize)) return true;
  const uint64_t contentEnd = reader.ContentEnd();
  uint32_t beforeTags = 0;
  if (contentEnd < size && EndsWithWholeTag(reader, firstTag, contentEnd, &beforeTags)) {
    return true;
  }
  if (reader.outOfBudget() || EndsWithAppendedData(reader, firstTag, contentEnd)) return true;
  reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kFlvTail, lastTagSize, size));
  return true;
}

}  // namespace kindprobe::explain
