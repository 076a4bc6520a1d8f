#include <algorithm>

#include "engine/explain/explain.h"

namespace kindprobe::explain {
namespace {

// The open file at any offset. Positional on POSIX, so a seek costs no system call.
class FileSource : public ByteSource {
 public:
  FileSource(platform::File& file, uint64_t size) : file_(file), size_(size) {}

  size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override {
    if (offset > size_ || !file_.SeekFromEnd(-static_cast<int64_t>(size_ - offset))) return 0;
    size_t filled = 0;
    while (filled < out.size()) {
      const uint32_t wanted =
          static_cast<uint32_t>(std::min<size_t>(out.size() - filled, UINT32_MAX));
      uint32_t got = 0;
      if (!file_.Read(out.data() + filled, wanted, &got) || got == 0) break;
      filled += got;
    }
    return filled;
  }

 private:
  platform::File& file_;
  uint64_t size_;
};

}  // namespace

Explanation ExplainFile(const FormatFamilies& families, const char16_t* path, ReadFile& read,
                        int32_t ruleIndex) {
  Explanation explanation;
  if (!read.kept()) return explanation;
  const std::span<const uint8_t> head(read.head.data.get(), read.head.headLength);
  // A size that could not be had, or one no signed seek reaches, gives nothing to compare; of a
  // stream only the head and tail were kept, and zeros between them would read as damage.
  const bool sized = read.size != UINT64_MAX && read.size <= static_cast<uint64_t>(INT64_MAX) &&
                     !read.file.IsStreamCopy();
  FileSource source(read.file, sized ? read.size : 0);
  ExplainReader reader(head, sized ? read.size : head.size(), sized ? &source : nullptr);
  // Content no media rule decided (a text file that happens to hold 0x47 every 188 bytes) is
  // read by no container's explainer.
  const Containers readers = families.ReadersOf(ruleIndex);
  if (readers != 0 && sized) explanation = ExplainContainer(reader, readers);
  Reasons& reasons = explanation.reasons;
  char16_t extension[kExtensionCapacity];
  GetFileExtension(path, extension);
  if (auto notMedia = ExplainNotMedia(families, extension, ruleIndex, head)) {
    reasons.push_back(std::move(*notMedia));
  } else if (auto renamed = ExplainName(families, extension, ruleIndex)) {
    reasons.push_back(std::move(*renamed));
  }
  if (auto zeros = ExplainZeroFilled(reader)) reasons.push_back(std::move(*zeros));
  return explanation;
}

}  // namespace kindprobe::explain
