// Bounded reading for the explainers: the head the classifier already holds, and at most
// kMaxExtraReads reads of the rest of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kindprobe::explain {

// Every read beyond the head counts against this budget, whatever the file says; a walk that
// runs out of it stops without a finding. A few dozen headers at most per file.
inline constexpr uint32_t kMaxExtraReads = 40;

// The bytes of a file at any offset: the open file, or memory in tests and fuzzing.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to out.size() bytes at `offset`; the count read (short at the end of the file).
  virtual size_t ReadAt(uint64_t offset, std::span<uint8_t> out) = 0;
};

class ExplainReader {
 public:
  // `head` is the first bytes of the file (all of it when the file is that small).
  ExplainReader(std::span<const uint8_t> head, uint64_t fileSize, ByteSource* source)
      : head_(head), fileSize_(fileSize), source_(source) {}

  uint64_t fileSize() const { return fileSize_; }
  std::span<const uint8_t> head() const { return head_; }
  uint32_t extraReads() const { return extraReads_; }

  // Exactly out.size() bytes at `offset`, from the head when they lie in it. False when the
  // file is shorter, the budget is spent or the read fails.
  bool Read(uint64_t offset, std::span<uint8_t> out);

 private:
  std::span<const uint8_t> head_;
  uint64_t fileSize_;
  ByteSource* source_;
  uint32_t extraReads_ = 0;
};

// A file held in memory.
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override;

 private:
  std::span<const uint8_t> bytes_;
};

// Big- and little-endian numbers from bytes the caller has checked are there.
uint32_t Be32(const uint8_t* p);
uint64_t Be64(const uint8_t* p);
uint32_t Le32(const uint8_t* p);
uint32_t Be24(const uint8_t* p);

// a + b, or UINT64_MAX when that does not fit: a size that overflows runs past any file.
uint64_t SaturatingAdd(uint64_t a, uint64_t b);

}  // namespace kindprobe::explain
