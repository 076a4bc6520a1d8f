// Bounded reading for the explainers: the head the classifier already holds, and at most
// kMaxExtraReads reads for the container's bookkeeping and kMaxStreamReads for the headers that
// name its streams, of kMaxExtraBytes in all, of the rest of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kindprobe::explain {

// Every read beyond the head counts against this budget, whatever the file says; a walk that
// runs out of it stops without a finding.
inline constexpr uint32_t kMaxExtraReads = 4;
// The streams have reads of their own, so that naming them never costs a finding its reads, and
// a file whose headers name nothing (most damaged ones) costs no more than before.
inline constexpr uint32_t kMaxStreamReads = 4;
inline constexpr uint64_t kMaxExtraBytes = uint64_t{128} << 10;
// A read beyond the head fetches a window, so that the next headers of a walk over many small
// structures come free. The first is 512 bytes; each later one is twice the last, up to 64 KiB,
// when the last served a later request, and 512 bytes again when it did not. So a walk over
// dense structures (a fragmented MP4's boxes) takes few reads, and one over sparse structures
// costs small reads, as it would without windows. A read never fetches less than what it was
// asked for.
inline constexpr uint64_t kFirstWindow = 512;
inline constexpr uint64_t kLargestWindow = uint64_t{64} << 10;

// No file holds more bytes than this (256 TiB): a size field beyond it is a damaged header, not
// the promise of a download cut short.
inline constexpr uint64_t kLargestPossibleFile = uint64_t{1} << 48;

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
  uint32_t streamReads() const { return streamReads_; }
  uint64_t extraBytes() const { return extraBytes_; }

  // Exactly out.size() bytes at `offset`, from the head or the last window when they lie in
  // it. False when the file is shorter, the budget is spent or the read fails.
  bool Read(uint64_t offset, std::span<uint8_t> out);
  // The same bytes where they lie, in the head or in the window read for them, without a copy:
  // `view` holds until the next read.
  bool View(uint64_t offset, size_t length, std::span<const uint8_t>* view);
  // Whether a read was refused because the budget was spent: the walk that asked knows nothing
  // about the rest of the file then, and must not judge it.
  bool outOfBudget() const { return outOfBudget_; }

  // Where the media's own structures end: before the tags that tools append to any file and
  // players read past (an APE tag, an ID3v1 tag, or both), else the file size. Looked up on
  // the first call, with one read of the file's end.
  uint64_t ContentEnd();

  // While one of these lives, reads count against kMaxStreamReads, and one refused for want of
  // them does not mark the reader out of budget.
  class StreamReading {
   public:
    explicit StreamReading(ExplainReader& reader) : reader_(reader) { reader_.forStreams_ = true; }
    ~StreamReading() { reader_.forStreams_ = false; }
    StreamReading(const StreamReading&) = delete;
    StreamReading& operator=(const StreamReading&) = delete;

   private:
    ExplainReader& reader_;
  };

 private:
  std::span<const uint8_t> head_;
  uint64_t fileSize_;
  ByteSource* source_;
  uint32_t extraReads_ = 0;
  uint32_t streamReads_ = 0;
  bool forStreams_ = false;
  uint64_t extraBytes_ = 0;
  bool outOfBudget_ = false;
  std::vector<uint8_t> window_;  // the bytes of the last read beyond the head
  uint64_t windowAt_ = 0;
  uint64_t nextWindow_ = kFirstWindow;
  bool windowServed_ = false;  // the window answered a request after the one that fetched it
  std::optional<uint64_t> contentEnd_;
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
