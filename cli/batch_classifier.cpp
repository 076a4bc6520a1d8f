#include "cli/batch_classifier.h"

#include <algorithm>

#include "cli/output_format.h"
#include "cli/worker_threads.h"

namespace kindprobe::cli {
namespace {

// Threads take paths a few at a time: fewer shared-counter updates, little imbalance.
constexpr uint32_t kPathsPerClaim = 8;

}  // namespace

BatchClassifier::BatchClassifier(uint32_t threads, OutputMode mode)
    : threads_(std::max<uint32_t>(threads, 1)),
      mode_(mode) {
  for (uint32_t i = 0; i < threads_; ++i) classifiers_.push_back(std::make_unique<FileClassifier>());
}

void BatchClassifier::ClassifyOne(FileClassifier& classifier, const std::u16string& path,
                                  std::string* line) {
  classifier.CheckFile(path.c_str());
  const CheckResult& result = classifier.result();
  if (!result.examined) failures_.fetch_add(1, std::memory_order_relaxed);
  const Classification shown{result.typeId, result.description, result.ruleIndex};
  AppendResultLine(mode_, path, shown, line);
}

void BatchClassifier::Work(uint32_t thread, const std::vector<std::u16string>& paths) {
  FileClassifier& classifier = *classifiers_[thread];
  const auto count = static_cast<uint32_t>(paths.size());
  for (;;) {
    const uint32_t first = next_.fetch_add(kPathsPerClaim, std::memory_order_relaxed);
    if (first >= count) return;
    const uint32_t last = std::min(count, first + kPathsPerClaim);
    for (uint32_t i = first; i < last; ++i) ClassifyOne(classifier, paths[i], &lines_[i]);
  }
}

size_t BatchClassifier::Run(const std::vector<std::u16string>& paths, std::string* out) {
  failures_.store(0);
  // A single thread writes straight into the output: no per-path lines needed.
  if (threads_ == 1 || paths.size() <= 1) {
    for (const std::u16string& path : paths) ClassifyOne(*classifiers_[0], path, out);
    return failures_.load();
  }
  if (lines_.size() < paths.size()) lines_.resize(paths.size());
  for (size_t i = 0; i < paths.size(); ++i) lines_[i].clear();
  next_.store(0);
  const auto threads = static_cast<uint32_t>(
      std::min<size_t>(threads_, (paths.size() + kPathsPerClaim - 1) / kPathsPerClaim));
  RunOnThreads(threads, [&](uint32_t thread) { Work(thread, paths); });
  for (size_t i = 0; i < paths.size(); ++i) *out += lines_[i];
  return failures_.load();
}

}  // namespace kindprobe::cli
