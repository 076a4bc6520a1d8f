// One explainer per container. Each looks at the head first: when the head is not its
// container it returns false and reads nothing; otherwise it adds what the container's own
// bookkeeping says about the file to `reasons` (possibly nothing) and returns true.
#pragma once

#include "engine/explain/reader.h"
#include "engine/explain/reason.h"

namespace kindprobe::explain {

bool ExplainRiff(ExplainReader& reader, Reasons* reasons);
bool ExplainIsoMedia(ExplainReader& reader, Reasons* reasons);
bool ExplainMatroska(ExplainReader& reader, Reasons* reasons);
bool ExplainFlv(ExplainReader& reader, Reasons* reasons);
bool ExplainMpegTs(ExplainReader& reader, Reasons* reasons);
bool ExplainOgg(ExplainReader& reader, Reasons* reasons);
bool ExplainMpegAudio(ExplainReader& reader, Reasons* reasons);
bool ExplainAsf(ExplainReader& reader, Reasons* reasons);

// A reason with the numbers most details use.
Reason Finding(ReasonCode code, DetailId detail, uint64_t declared = 0, uint64_t actual = 0);
// `damaged`: the size field of `structure` gives `size`, more than any file can hold.
Reason ImpossibleSize(std::u16string structure, uint64_t size);

}  // namespace kindprobe::explain
