// ASF (WMV, WMA): the File Properties Object in the header gives the size of the whole file,
// unless the file is a broadcast, whose size its writer could not know.
#include <array>
#include <cstring>

#include "engine/explain/explainers.h"

namespace kindprobe::explain {
namespace {

// Object GUIDs as they lie in the file (the first three fields little-endian).
constexpr uint8_t kHeaderObject[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                       0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr uint8_t kFilePropertiesObject[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                               0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
// A GUID and a 64-bit size open every object; the Header Object adds a count and two bytes.
constexpr uint64_t kObjectHeader = 24;
constexpr uint64_t kHeaderObjectSize = 30;
// Within File Properties: the file size, after the object header and the file ID; the flags,
// after five more 64-bit fields.
constexpr uint64_t kFileSizeAt = kObjectHeader + 16;
constexpr uint64_t kFlagsAt = kFileSizeAt + 8 * 6;
constexpr uint32_t kBroadcastFlag = 0x1;
// Header objects looked at; File Properties is nearly always the first.
constexpr int kMaxObjects = 32;

uint64_t Le64(const uint8_t* p) { return uint64_t{Le32(p + 4)} << 32 | Le32(p); }

// The size check of File Properties, whose first `object.size()` bytes are in `object`.
void CheckFileSize(std::span<const uint8_t> object, uint64_t size, Reasons* reasons) {
  if (Le32(object.data() + kFlagsAt) & kBroadcastFlag) return;
  const uint64_t fileSize = Le64(object.data() + kFileSizeAt);
  if (fileSize > kLargestPossibleFile) {
    reasons->push_back(ImpossibleSize(u"ASF File Properties", fileSize));
  } else if (fileSize > size) {
    reasons->push_back(Finding(ReasonCode::kTruncated, DetailId::kAsfFileSize, fileSize, size));
  }
}

}  // namespace

bool ExplainAsf(ExplainReader& reader, Explanation* found) {
  const auto head = reader.head();
  if (head.size() < kHeaderObjectSize || std::memcmp(head.data(), kHeaderObject, 16) != 0) {
    return false;
  }
  const uint64_t size = reader.fileSize();
  const uint64_t headerEnd = Le64(head.data() + 16);
  uint64_t offset = kHeaderObjectSize;
  // Every object of the header: File Properties for the size, Stream Properties for the
  // streams, the encryption objects for protection.
  for (int i = 0; i < kMaxObjects && offset + kObjectHeader <= headerEnd; ++i) {
    std::array<uint8_t, kFlagsAt + 4> object{};
    if (!reader.Read(offset, std::span(object).first(kObjectHeader))) return true;
    const uint64_t objectSize = Le64(object.data() + 16);
    if (objectSize < kObjectHeader) return true;  // damage that would not advance
    if (std::memcmp(object.data(), kFilePropertiesObject, 16) == 0) {
      if (objectSize < object.size() || !reader.Read(offset, object)) return true;
      CheckFileSize(object, size, &found->reasons);
    } else {
      ReadAsfObject(reader, offset, objectSize, found);
    }
    offset = SaturatingAdd(offset, objectSize);
  }
  return true;
}

}  // namespace kindprobe::explain
