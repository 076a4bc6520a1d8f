// Files built byte by byte for the explainer tests, and a way to run the explainers over them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/explain/explain.h"

namespace kindprobe::explaintest {

using Bytes = std::vector<uint8_t>;

// Appends to a file under construction.
class Builder {
 public:
  Builder& Text(std::string_view text);
  Builder& Raw(std::initializer_list<uint8_t> bytes);
  Builder& Be32(uint32_t value);
  Builder& Be64(uint64_t value);
  Builder& Le32(uint32_t value);
  Builder& Fill(size_t count, uint8_t value = 0);
  size_t size() const { return bytes_.size(); }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
};

// What the explainers say about `file` with its first 4096 bytes as the head, and how many
// reads beyond the head they made, for the bookkeeping and for the streams.
struct Outcome {
  explain::Reasons reasons;
  explain::Streams streams;
  uint32_t extraReads = 0;
  uint32_t streamReads = 0;
  bool Has(explain::ReasonCode code) const;
  bool Has(explain::DetailId detail) const;
  std::optional<explain::Reason> Find(explain::DetailId detail) const;
};
Outcome Explain(const Bytes& file);

// The first `length` bytes of `file`.
Bytes Cut(const Bytes& file, size_t length);

}  // namespace kindprobe::explaintest
