// One explainer per container. Each looks at the head first: when the head is not its
// container it returns false and reads nothing; otherwise it adds what the container's own
// bookkeeping says about the file to `found` (possibly nothing): the reasons, and the streams
// its headers name. Then it returns true.
#pragma once

#include "engine/explain/reader.h"
#include "engine/explain/reason.h"
#include "engine/explain/stream.h"

namespace kindprobe::explain {

bool ExplainRiff(ExplainReader& reader, Explanation* found);
bool ExplainIsoMedia(ExplainReader& reader, Explanation* found);
bool ExplainMatroska(ExplainReader& reader, Explanation* found);
bool ExplainFlv(ExplainReader& reader, Explanation* found);
bool ExplainMpegTs(ExplainReader& reader, Explanation* found);
bool ExplainOgg(ExplainReader& reader, Explanation* found);
bool ExplainMpegAudio(ExplainReader& reader, Explanation* found);
bool ExplainAsf(ExplainReader& reader, Explanation* found);

// The streams of an ISO media index whose children lie from `moovBody` to `moovEnd`, one per
// track, and `encrypted` when its entries or a pssh box say the content is protected.
void ReadIsoMediaStreams(ExplainReader& reader, uint64_t moovBody, uint64_t moovEnd,
                         Explanation* found);

// The streams of the Tracks element among the Segment's children from `offset` to `end`, and
// `encrypted` for a track with ContentEncryption.
void ReadMatroskaStreams(ExplainReader& reader, uint64_t offset, uint64_t end, Explanation* found);

// The streams of an AVI's hdrl list (`avi`), or else the format of a WAV's fmt chunk.
void ReadRiffStreams(ExplainReader& reader, bool avi, Explanation* found);

// The codecs of an FLV's first audio and video tags, from `firstTag` on.
void ReadFlvStreams(ExplainReader& reader, uint64_t firstTag, Explanation* found);
// The streams of an Ogg file, from the first page of each logical stream.
void ReadOggStreams(ExplainReader& reader, Explanation* found);

// The streams of a transport stream's program map tables, found from its first packets.
void ReadMpegTsStreams(ExplainReader& reader, Explanation* found);

// An ASF header object at `offset` other than File Properties: a stream it describes, or
// `encrypted` for a content encryption object.
void ReadAsfObject(ExplainReader& reader, uint64_t offset, uint64_t objectSize, Explanation* found);

// A reason with the numbers most details use.
Reason Finding(ReasonCode code, DetailId detail, uint64_t declared = 0, uint64_t actual = 0);
// `damaged`: the size field of `structure` gives `size`, more than any file can hold.
Reason ImpossibleSize(std::u16string structure, uint64_t size);

}  // namespace kindprobe::explain
