// Arbitrary files through every explainer: no crash, no read outside the bytes given, no more
// reads than the budget, at most one reason of each code, at most kMaxStreams streams with
// printable tags. And the reasons from what the content is: its kind of text and its zeros.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/explain/codec_names.h"
#include "engine/explain/explain.h"
#include "engine/signature_match.h"

namespace {

using namespace kindprobe::explain;

void ExplainOnce(std::span<const uint8_t> bytes, uint64_t fileSize) {
  MemorySource source(bytes);
  const auto head = bytes.first(std::min<size_t>(bytes.size(), kindprobe::kFileHeadCapacity));
  ExplainReader reader(head, fileSize, &source);
  const Explanation explanation = ExplainContainer(reader);
  const Reasons& reasons = explanation.reasons;
  if (reader.extraReads() > kMaxExtraReads || reader.streamReads() > kMaxStreamReads ||
      reader.extraBytes() > kMaxExtraBytes) {
    abort();
  }
  bool seen[kReasonCodeCount] = {};
  for (const Reason& reason : reasons) {
    const auto code = static_cast<size_t>(reason.code);
    if (code >= kReasonCodeCount || seen[code]) abort();
    seen[code] = true;
    if (reason.detail > kLastDetail) abort();
  }
  if (explanation.streams.size() > kMaxStreams) abort();
  for (const Stream& stream : explanation.streams) {
    if (stream.tag.size() > kMaxTagLength || stream.codec.empty()) abort();
    for (char c : stream.tag) {
      if (c < 0x20 || c > 0x7E) abort();
    }
  }
  TextKindOf(head);
  ExplainReader zeros(head, fileSize, &source);
  const auto zeroFilled = ExplainZeroFilled(zeros);
  if (zeros.extraReads() > 1 || (zeroFilled && zeroFilled->code != ReasonCode::kZeroFilled)) {
    abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  ExplainOnce(bytes, size);
  // A file larger than what can be read of it (it shrank while we looked), up to sizes no file
  // has.
  ExplainOnce(bytes, size + 1000);
  ExplainOnce(bytes, UINT64_MAX / 2);
  return 0;
}
