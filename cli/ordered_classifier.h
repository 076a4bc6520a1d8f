// Classifies a stream of paths on several threads and hands their lines on in input order.
//
// Paths pass through a ring of slots: the calling thread fills slots from the source, every
// thread (the caller included) classifies filled slots, and the caller hands finished slots on
// in order and frees them. No thread waits for a whole batch, so one slow file or one thread
// the system puts aside holds up only the printing, not the classifying; memory stays bounded
// by the ring however many files a run covers.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "engine/explain/reason_collector.h"
#include "engine/file_classifier.h"

namespace kindprobe::cli {

inline constexpr size_t kDefaultRingSize = 1024;

// The tables of a run: `table` (null: the process's own), and for a comparison `candidate` as
// well, when a path gets a line only if the two tables answer it differently.
struct ClassifierTables {
  RuleTable* table = nullptr;
  RuleTable* candidate = nullptr;
};

class OrderedClassifier {
 public:
  // What a run reads from and writes to; every function runs on the calling thread.
  struct Io {
    // Gives the next path; false when there are no more.
    std::function<bool(std::u16string*)> next;
    // Whether `next` can answer without waiting (for a path list still being written to a
    // pipe, it may not). Before a wait, every line that is done is handed on and flushed, so
    // results appear as soon as they are known.
    std::function<bool()> nextIsReady = [] { return true; };
    // Receives each line (line end included) and how many paths are done so far.
    std::function<void(std::string_view line, uint64_t done)> handOn;
    // Pushes the lines handed on so far out to their reader.
    std::function<void()> flush = [] {};
  };

  OrderedClassifier(uint32_t threads, OutputMode mode, size_t ringSize = kDefaultRingSize,
                    ClassifierTables tables = {});
  OrderedClassifier(const OrderedClassifier&) = delete;
  OrderedClassifier& operator=(const OrderedClassifier&) = delete;
  ~OrderedClassifier();

  // Descriptions in `language` (Chinese unless set); set before Run.
  void SetLanguage(Language language) { language_ = language; }
  // Adds the reasons each file may not play to its line (--explain), in `language`.
  void Explain(Language language);

  // Classifies every path `io.next` gives. Returns how many could not be examined.
  size_t Run(const Io& io);
  // In a comparison: how many paths of the last run changed their answer.
  size_t changed() const { return changed_.load(); }

 private:
  struct Slot;

  // The calling thread: fills, hands on, and classifies when there is nothing else to do.
  void Coordinate(const Io& io);
  // Hands on the finished slots at the front of the ring, in order. True if there was one.
  bool HandOnFinished(const Io& io, uint64_t filled);
  void Classify(uint32_t thread);
  // Claims and classifies one filled slot. False when none is waiting.
  bool ClassifyOne(uint32_t thread);

  uint32_t threads_;
  OutputMode mode_;
  Language language_ = Language::kChinese;
  size_t ringSize_;
  std::unique_ptr<Slot[]> slots_;
  // One classifier per thread: each owns its head and result.
  std::vector<std::unique_ptr<FileClassifier>> classifiers_;
  // In a comparison, one more per thread, over the candidate table.
  std::vector<std::unique_ptr<FileClassifier>> candidates_;
  // With --explain, one per thread beside its classifier; none without.
  std::vector<std::unique_ptr<explain::ReasonCollector>> collectors_;

  std::atomic<uint64_t> filled_{0};   // slots [0, filled_) have been given a path
  std::atomic<uint64_t> claimed_{0};  // slots [0, claimed_) have been taken by a thread
  uint64_t handedOn_ = 0;             // slots [0, handedOn_) are done and freed (caller only)
  std::atomic<bool> sourceDone_{false};
  std::atomic<uint64_t> notExamined_{0};
  std::atomic<uint64_t> changed_{0};
};

}  // namespace kindprobe::cli
