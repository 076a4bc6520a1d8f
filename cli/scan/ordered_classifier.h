// Classifies a stream of paths on several threads and hands their lines on in input order.
//
// Paths pass through a ring of slots: the calling thread fills slots from the source, every
// thread (the caller included) classifies filled slots, and the caller hands finished slots on
// in order and frees them. No thread waits for a whole batch, so one slow file or one thread
// the system puts aside holds up only the printing, not the classifying; memory stays bounded
// by the ring however many files a run covers. A thread with nothing to do sleeps until there
// is something.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "cli/scan/path_check.h"
#include "cli/scan/path_source.h"
#include "cli/scan/read_concurrency.h"
#include "diagnosis/result_writer.h"
#include "platform/threads.h"

namespace kindprobe::cli {

inline constexpr size_t kDefaultRingSize = 1024;

// The number of threads to run, at most `jobs`, such that the descriptors they may hold at
// once (a file each, the directories of the paths read ahead for them) stay within `openLimit`
// beside those the process needs anyway.
uint32_t JobsWithinDescriptorLimit(uint32_t jobs, std::optional<uint64_t> openLimit);

class OrderedClassifier : private FileOpener {
 public:
  // One path done.
  struct Finished {
    std::u16string_view path;
    std::string_view line;     // line end included
    std::string_view failure;  // why it could not be examined; empty when it was
    uint64_t done;             // how many paths are done so far, this one included
  };

  // What a run reads from and writes to; every function runs on the calling thread.
  struct Io {
    // Gives the next path; false when there are no more.
    std::function<bool(PathItem*)> next;
    // Whether `next` can answer without waiting (for a path list still being written to a
    // pipe, it may not). Before a wait, every line that is done is handed on and flushed, so
    // results appear as soon as they are known.
    std::function<bool()> nextIsReady = [] { return true; };
    // Receives each path done, in order. False stops the run at once: nothing more is read,
    // classified or handed on.
    std::function<bool(const Finished&)> handOn;
    // Pushes the lines handed on so far out to their reader.
    std::function<void()> flush = [] {};
  };

  struct Outcome {
    size_t notExamined = 0;
    bool stopped = false;  // handOn asked to stop
  };

  // Each path's line comes from `writer`, which must outlive the classifier.
  OrderedClassifier(uint32_t threads, ResultWriter& writer, size_t ringSize = kDefaultRingSize,
                    ClassifierTables tables = {});
  OrderedClassifier(const OrderedClassifier&) = delete;
  OrderedClassifier& operator=(const OrderedClassifier&) = delete;
  ~OrderedClassifier() override;

  // Starts with `fewest` of the threads classifying and uses more of them while reads wait on
  // the storage (see ReadConcurrency); without it, every thread classifies. Set before Run.
  void AdaptThreads(uint32_t fewest);
  // Classifies every path `io.next` gives.
  Outcome Run(const Io& io);

 private:
  struct Slot;

  // The calling thread: fills, hands on, and classifies when there is nothing else to do.
  void Coordinate(const Io& io);
  // Hands on the finished slots at the front of the ring, in order. False when handOn asked
  // to stop.
  bool HandOnFinished(const Io& io, uint64_t filled, bool* any);
  void Classify(uint32_t thread);
  // Waits while `thread` is not among those classifying. False when the run is over for it.
  bool AwaitTurn(uint32_t thread);
  // Claims and classifies one filled slot. False when none is waiting.
  bool ClassifyOne(uint32_t thread);
  // Opens the file of `item`; out of descriptors, waits for another thread to give one back.
  platform::File Open(const PathItem& item, std::string* failure) override;
  void Closed(bool wasOpen) override;
  void Stop();

  uint32_t threads_;
  uint32_t fewestThreads_;
  std::optional<ReadConcurrency> concurrency_;  // made afresh for each run
  ResultWriter& writer_;
  size_t ringSize_;
  std::unique_ptr<Slot[]> slots_;
  // One per thread: each owns its classifiers.
  std::vector<std::unique_ptr<PathCheck>> checks_;

  // The flags and counters that threads wait on are sequentially consistent: see WaitPoint.
  std::atomic<uint64_t> filled_{0};   // slots [0, filled_) have been given a path
  std::atomic<uint64_t> claimed_{0};  // slots [0, claimed_) have been taken by a thread
  uint64_t handedOn_ = 0;             // slots [0, handedOn_) are done and freed (caller only)
  std::atomic<bool> sourceDone_{false};
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> notExamined_{0};
  std::atomic<uint32_t> filesOpen_{0};
  std::atomic<uint64_t> filesClosed_{0};

  platform::WaitPoint workArrived_;  // classifying threads wait here for filled slots
  platform::WaitPoint slotDone_;     // the caller waits here for the front slot
  platform::WaitPoint fileClosed_;   // threads out of descriptors wait here
  platform::WaitPoint moreWanted_;   // threads not classifying now wait here
};

}  // namespace kindprobe::cli
