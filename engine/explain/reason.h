// Why a file may not play: the findings of --explain, free of any language.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kindprobe::explain {

// The fixed reason names a reader of the output may rely on.
enum class ReasonCode {
  kTruncated,
  kRenamed,
  kNoMediaData,
  kDamaged,
  kEncrypted,
  kNotMedia,
  kZeroFilled
};
inline constexpr size_t kReasonCodeCount = 7;

// Which detail text renders a reason; each one says which of the fields it uses.
enum class DetailId {
  kRiffSize,         // declared: RIFF end, actual: file size
  kAviMovi,          // declared: end of the movi list, actual: file size
  kRiffData,         // declared: end of the data chunk, actual: file size
  kAviEmptyMovi,     // no fields
  kIsoBox,           // name: box type, declared: box end, actual: file size
  kIsoNoMoov,        // actual: file size
  kIsoNoMdat,        // no fields
  kMatroskaSegment,  // declared: Segment end, actual: file size
  kFlvTail,          // declared: previous-tag-size, actual: file size
  kFlvFileSize,      // declared: metadata filesize, actual: file size
  kFlvNoTags,        // no fields
  kTsPartial,        // declared: bytes of the last packet, actual: file size
  kOggPage,          // declared: page end, actual: file size
  kOggNoEos,         // no fields
  kId3Tag,           // declared: tag end, actual: file size
  kId3Only,          // no fields
  kMp3Bytes,         // declared: end of the audio the first frame counts, actual: file size
  kImpossibleSize,   // name: the structure, declared: the size its header gives
  kIsoEmptyMdat,     // no fields
  kMatroskaNoCluster,  // no fields
  kAviNextRiff,      // declared: end of the RIFF AVIX that follows, actual: file size
  kAviOdmlFrames,    // declared: frames of the whole file, actual: frames of the first RIFF
  kAsfFileSize,      // declared: the File Properties' file size, actual: file size
  kRenamed,          // name: the extension, nameRule: its rule, other: the content's rule
  kEncrypted,        // name: the protection scheme ("cenc", "cbcs", "ASF", "ContentEncryption")
  kNotMedia,         // name: the extension, other: what the content is ("HTML", "text", ...)
  kZeroFilled,       // declared: bytes looked at, all zero, actual: file size
};
inline constexpr DetailId kLastDetail = DetailId::kZeroFilled;

struct Reason {
  ReasonCode code = ReasonCode::kTruncated;
  DetailId detail = DetailId::kRiffSize;
  uint64_t declared = 0;
  uint64_t actual = 0;
  std::u16string name;
  std::u16string nameRule;
  std::u16string other;
};

using Reasons = std::vector<Reason>;

// The stable name of a code ("truncated", "renamed", "no-media-data", "damaged", "encrypted",
// "not-media", "zero-filled").
const char* ReasonCodeName(ReasonCode code);

}  // namespace kindprobe::explain
