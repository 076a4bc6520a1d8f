// What --explain finds inside a container: its streams and the codec of each, free of any
// language beyond the codec's display names.
#pragma once

#include <string>
#include <vector>

#include "engine/explain/reason.h"

namespace kindprobe::explain {

enum class StreamKind { kVideo, kAudio, kSubtitle, kOther };

struct Stream {
  StreamKind kind = StreamKind::kOther;
  std::string tag;          // the container's own identifier, printable ASCII ("hvc1", "A_DTS")
  std::u16string codec;     // display name in English; the tag itself when the name is unknown
  std::u16string codecZh;   // in Chinese; empty when the same as `codec`
};

using Streams = std::vector<Stream>;

// Everything --explain says of one file.
struct Explanation {
  Reasons reasons;
  Streams streams;
};

// The stable name of a kind ("video", "audio", "subtitle", "other").
const char* StreamKindName(StreamKind kind);

}  // namespace kindprobe::explain
