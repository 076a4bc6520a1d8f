// The streams an explainer finds, named from the data of resources/codec_names.txt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/explain/format_families.h"
#include "engine/explain/stream.h"

namespace kindprobe::explain {

// Streams kept per file: enough for any real file, few enough that a hostile header cannot
// make the output long.
inline constexpr size_t kMaxStreams = 16;
// The longest tag kept; a longer identifier is cut to this.
inline constexpr size_t kMaxTagLength = 32;

// The stream of `container` whose identifier is `tag`, named and of the kind the table gives;
// a tag the table lacks is named by itself and is of kind `kind`. Bytes of the tag outside
// printable ASCII become '?', and trailing spaces (four-character codes padded) are dropped.
Stream NamedStream(Container container, std::string_view tag, StreamKind kind);

// Adds that stream to `explanation`, unless it already holds kMaxStreams or the tag is empty.
void AddStream(Explanation* explanation, Container container, std::string_view tag,
               StreamKind kind);

// "0x0055": `value` in upper-case hex of `digits` digits, the form numeric tags take.
std::string HexTag(uint32_t value, int digits);
// A four-character code as itself when it is printable, else as HexTag of its 32 bits (an
// uncompressed bitmap's 0).
std::string FourccTag(std::span<const uint8_t, 4> fourcc);
// How much of a WAVEFORMATEX WaveFormatTag looks at: up to the extensible sub-format's tag.
inline constexpr size_t kWaveFormatTagBytes = 26;

// The format tag of a WAVEFORMATEX (RIFF's fmt chunk, AVI's and ASF's audio formats): for
// WAVE_FORMAT_EXTENSIBLE, the tag its sub-format GUID carries. Empty when `format` is too short.
std::string WaveFormatTag(std::span<const uint8_t> format);

}  // namespace kindprobe::explain
