// Classifies a batch of paths on several threads and gives their lines back in input order.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "engine/file_classifier.h"

namespace kindprobe::cli {

// Paths are handed over in batches of this many: memory stays bounded however many files a
// run covers, and each batch is large enough to keep every thread busy.
inline constexpr size_t kBatchSize = 1024;

class BatchClassifier {
 public:
  BatchClassifier(uint32_t threads, OutputMode mode);
  BatchClassifier(const BatchClassifier&) = delete;
  BatchClassifier& operator=(const BatchClassifier&) = delete;

  // Classifies every path of `paths` and appends their lines, in the order of `paths`, to
  // `out`. Returns how many of them could not be examined.
  size_t Run(const std::vector<std::u16string>& paths, std::string* out);

 private:
  void Work(uint32_t thread, const std::vector<std::u16string>& paths);
  void ClassifyOne(FileClassifier& classifier, const std::u16string& path, std::string* line);

  uint32_t threads_;
  OutputMode mode_;
  // One classifier per thread: each owns its head and result.
  std::vector<std::unique_ptr<FileClassifier>> classifiers_;
  // One line per path of the batch; kept between batches so their storage is reused.
  std::vector<std::string> lines_;
  std::atomic<uint32_t> next_{0};
  std::atomic<uint32_t> failures_{0};
};

}  // namespace kindprobe::cli
