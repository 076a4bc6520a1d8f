#include "cli/scan/ordered_classifier.h"

#include <algorithm>
#include <chrono>

#include "diagnosis/failure_text.h"
#include "engine/signature_match.h"

namespace kindprobe::cli {
namespace {

// Standard streams, a list, the directories of a walk and whatever a library opens.
constexpr uint64_t kDescriptorsReserved = 16;
// For each thread: its file, and the directories of the paths read ahead for it.
constexpr uint64_t kDescriptorsPerThread = 6;

}  // namespace

uint32_t JobsWithinDescriptorLimit(uint32_t jobs, std::optional<uint64_t> openLimit) {
  if (!openLimit) return jobs;
  const uint64_t spare = *openLimit > kDescriptorsReserved ? *openLimit - kDescriptorsReserved : 0;
  const uint64_t affordable = std::max<uint64_t>(spare / kDescriptorsPerThread, 1);
  return static_cast<uint32_t>(std::min<uint64_t>(jobs, affordable));
}

struct OrderedClassifier::Slot {
  PathItem item;
  // Kept between uses so that their storage is reused.
  std::string line;
  std::string failure;
  std::atomic<bool> done{false};
};

OrderedClassifier::OrderedClassifier(uint32_t threads, ResultWriter& writer, size_t ringSize,
                                     ClassifierTables tables)
    : threads_(std::max<uint32_t>(threads, 1)),
      fewestThreads_(threads_),
      writer_(writer),
      ringSize_(std::max<size_t>(ringSize, 1)),
      slots_(std::make_unique<Slot[]>(ringSize_)) {
  for (uint32_t i = 0; i < threads_; ++i) checks_.push_back(std::make_unique<PathCheck>(tables));
}

OrderedClassifier::~OrderedClassifier() = default;

void OrderedClassifier::AdaptThreads(uint32_t fewest) {
  fewestThreads_ = std::clamp<uint32_t>(fewest, 1, threads_);
}

platform::File OrderedClassifier::Open(const PathItem& item, std::string* failure) {
  for (;;) {
    const uint64_t closedBefore = filesClosed_.load();
    platform::OpenStatus status;
    platform::File file;
    if (item.named && item.path == kStandardInputPath) {
      file = platform::File::ReadStream(nullptr, kFileHeadCapacity, kFileHeadCapacity, &status);
    } else {
      file = item.parent ? item.parent->OpenFile(item.name, item.followLinks, &status,
                                                 item.listedAs)
                         : platform::File::OpenForReading(item.path.c_str(), &status);
      // A pipe or FIFO named on the command line is what the user asked to have read.
      if (item.named && status.reason == platform::OpenStatus::Reason::kNotRegularFile) {
        file = platform::File::ReadStream(item.path.c_str(), kFileHeadCapacity, kFileHeadCapacity,
                                          &status);
      }
    }
    // Out of descriptors says nothing about the file. While other threads hold files, one will
    // be given back soon: wait for it. With none held here, no wait would end.
    if (status.reason == platform::OpenStatus::Reason::kOutOfDescriptors &&
        filesOpen_.load() != 0) {
      fileClosed_.WaitUntil(
          [&] { return filesClosed_.load() != closedBefore || filesOpen_.load() == 0; });
      continue;
    }
    *failure = DescribeOpenFailure(status);
    if (file.IsOpen()) filesOpen_.fetch_add(1);
    return file;
  }
}

void OrderedClassifier::Closed(bool wasOpen) {
  if (!wasOpen) return;
  filesOpen_.fetch_sub(1);
  filesClosed_.fetch_add(1);
  fileClosed_.Wake();
}

bool OrderedClassifier::ClassifyOne(uint32_t thread) {
  uint64_t index = claimed_.load(std::memory_order_relaxed);
  do {
    if (index >= filled_.load() || stop_.load()) return false;
  } while (!claimed_.compare_exchange_weak(index, index + 1));
  Slot& slot = slots_[index % ringSize_];
  // Timed only while the number of threads adapts to how long checks wait.
  const bool timed = concurrency_->adapts();
  const auto start = timed ? std::chrono::steady_clock::now() : std::chrono::steady_clock::time_point();
  const CheckOutcome outcome = checks_[thread]->Check(slot.item, *this);
  if (timed && concurrency_->Record(std::chrono::steady_clock::now() - start)) moreWanted_.Wake();
  if (!outcome.result.examined) notExamined_.fetch_add(1, std::memory_order_relaxed);
  slot.failure = outcome.failure;
  slot.line.clear();
  writer_.Write(slot.item.path, outcome, &slot.line);
  // The directory is needed no longer: let it close while the slot waits to be handed on.
  slot.item.parent.reset();
  slot.done.store(true);
  slotDone_.Wake();
  return true;
}

bool OrderedClassifier::AwaitTurn(uint32_t thread) {
  if (thread < concurrency_->active()) return true;
  bool wanted = false;
  moreWanted_.WaitUntil([&] {
    wanted = thread < concurrency_->active();
    return wanted || stop_.load() || sourceDone_.load();
  });
  return wanted;
}

void OrderedClassifier::Classify(uint32_t thread) {
  for (;;) {
    if (!AwaitTurn(thread)) return;
    if (ClassifyOne(thread)) continue;
    bool finished = false;
    workArrived_.WaitUntil([&] {
      if (stop_.load()) return finished = true;
      if (claimed_.load() < filled_.load()) return true;
      return finished = sourceDone_.load();
    });
    if (finished) return;
  }
}

void OrderedClassifier::Stop() {
  stop_.store(true);
  workArrived_.Wake();
  fileClosed_.Wake();
  moreWanted_.Wake();
}

bool OrderedClassifier::HandOnFinished(const Io& io, uint64_t filled, bool* any) {
  while (handedOn_ < filled) {
    Slot& slot = slots_[handedOn_ % ringSize_];
    if (!slot.done.load(std::memory_order_acquire)) break;
    *any = true;
    if (!io.handOn({slot.item.path, slot.line, slot.failure, ++handedOn_})) return false;
    slot.done.store(false, std::memory_order_relaxed);
  }
  return true;
}

void OrderedClassifier::Coordinate(const Io& io) {
  // Paths read ahead of the threads: enough that none of them runs dry while this thread
  // classifies one itself or lists a directory (a few hundred microseconds for a large one),
  // few enough that results follow a slow source closely.
  bool more = true;
  for (;;) {
    const uint64_t classifying = concurrency_->active();
    const uint64_t readAhead = classifying == 1 ? 1 : std::max<uint64_t>(4 * classifying, 32);
    bool progressed = false;
    uint64_t filled = filled_.load(std::memory_order_relaxed);
    while (more && filled - handedOn_ < ringSize_ &&
           filled - claimed_.load(std::memory_order_relaxed) < readAhead) {
      // Reading may wait: first hand on and flush everything that is in flight.
      if (handedOn_ < filled && !io.nextIsReady()) break;
      if (handedOn_ == filled && !io.nextIsReady()) io.flush();
      Slot& slot = slots_[filled % ringSize_];
      if (!(more = io.next(&slot.item))) break;
      filled_.store(++filled);
      workArrived_.WakeOne();
      progressed = true;
    }
    if (!more && !sourceDone_.load(std::memory_order_relaxed)) {
      sourceDone_.store(true);
      workArrived_.Wake();
      moreWanted_.Wake();
    }
    if (!HandOnFinished(io, filled, &progressed)) return Stop();
    if (!more && handedOn_ == filled) return;
    if (ClassifyOne(0)) progressed = true;
    if (!progressed) {
      // Every path read so far is being classified by other threads.
      Slot& front = slots_[handedOn_ % ringSize_];
      slotDone_.WaitUntil([&] { return front.done.load() || claimed_.load() < filled_.load(); });
    }
  }
}

OrderedClassifier::Outcome OrderedClassifier::Run(const Io& io) {
  filled_ = 0;
  claimed_ = 0;
  handedOn_ = 0;
  sourceDone_ = false;
  stop_ = false;
  notExamined_ = 0;
  concurrency_.emplace(fewestThreads_, threads_);
  platform::RunOnThreads(threads_, [&](uint32_t thread) {
    if (thread == 0) {
      Coordinate(io);
    } else {
      Classify(thread);
    }
  });
  return {static_cast<size_t>(notExamined_.load()), stop_.load()};
}

}  // namespace kindprobe::cli
