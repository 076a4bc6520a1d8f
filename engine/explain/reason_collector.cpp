#include "engine/explain/reason_collector.h"

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

void ReasonCollector::Check(FileClassifier& classifier, const char16_t* path) {
  reasons_.clear();
  classifier.CheckFile(path, this);
}

void ReasonCollector::Check(FileClassifier& classifier, const char16_t* path,
                            platform::File file) {
  reasons_.clear();
  classifier.CheckOpenFile(path, std::move(file), this);
}

void ReasonCollector::Visit(platform::File& file, uint64_t size, const FileHead& head,
                            const char16_t* path, const CheckResult& result) {
  reasons_.clear();
  // A size that could not be had, or one no signed seek reaches, gives nothing to compare.
  if (size != UINT64_MAX && size <= static_cast<uint64_t>(INT64_MAX) && head.data) {
    FileSource source(file, size);
    ExplainReader reader(std::span<const uint8_t>(head.data.get(), head.headLength), size, &source);
    reasons_ = ExplainContainer(reader);
  }
  char16_t extension[kExtensionCapacity];
  GetFileExtension(path, extension);
  if (auto renamed = ExplainName(table_, extension, result.ruleIndex)) {
    reasons_.push_back(std::move(*renamed));
  }
}

}  // namespace kindprobe::explain
