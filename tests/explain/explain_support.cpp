#include "explain_support.h"

#include <algorithm>
#include <span>

#include "engine/signature_match.h"

namespace kindprobe::explaintest {

Builder& Builder::Text(std::string_view text) {
  bytes_.insert(bytes_.end(), text.begin(), text.end());
  return *this;
}

Builder& Builder::Raw(std::initializer_list<uint8_t> bytes) {
  bytes_.insert(bytes_.end(), bytes);
  return *this;
}

Builder& Builder::Be32(uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    bytes_.push_back(static_cast<uint8_t>(value >> shift));
  return *this;
}

Builder& Builder::Be64(uint64_t value) {
  Be32(static_cast<uint32_t>(value >> 32));
  return Be32(static_cast<uint32_t>(value));
}

Builder& Builder::Le32(uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    bytes_.push_back(static_cast<uint8_t>(value >> shift));
  return *this;
}

Builder& Builder::Fill(size_t count, uint8_t value) {
  bytes_.insert(bytes_.end(), count, value);
  return *this;
}

bool Outcome::Has(explain::ReasonCode code) const {
  return std::any_of(reasons.begin(), reasons.end(), [&](const auto& r) { return r.code == code; });
}

bool Outcome::Has(explain::DetailId detail) const { return Find(detail).has_value(); }

std::optional<explain::Reason> Outcome::Find(explain::DetailId detail) const {
  for (const auto& reason : reasons) {
    if (reason.detail == detail) return reason;
  }
  return std::nullopt;
}

Outcome Explain(const Bytes& file) {
  explain::MemorySource source(file);
  const std::span<const uint8_t> head(file.data(),
                                      std::min<size_t>(file.size(), kFileHeadCapacity));
  explain::ExplainReader reader(head, file.size(), &source);
  Outcome outcome;
  explain::Explanation explanation = explain::ExplainContainer(reader);
  outcome.reasons = std::move(explanation.reasons);
  outcome.streams = std::move(explanation.streams);
  outcome.extraReads = reader.extraReads();
  outcome.streamReads = reader.streamReads();
  return outcome;
}

Bytes Cut(const Bytes& file, size_t length) {
  return Bytes(file.begin(),
               file.begin() + static_cast<std::ptrdiff_t>(std::min(length, file.size())));
}

}  // namespace kindprobe::explaintest
