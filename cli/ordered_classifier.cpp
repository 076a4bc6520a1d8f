#include "cli/ordered_classifier.h"

#include <algorithm>

#include "cli/failure_text.h"
#include "cli/output_format.h"

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

OrderedClassifier::OrderedClassifier(uint32_t threads, OutputMode mode, size_t ringSize)
    : threads_(std::max<uint32_t>(threads, 1)),
      mode_(mode),
      ringSize_(std::max<size_t>(ringSize, 1)),
      slots_(std::make_unique<Slot[]>(ringSize_)) {
  for (uint32_t i = 0; i < threads_; ++i)
    classifiers_.push_back(std::make_unique<FileClassifier>());
}

OrderedClassifier::~OrderedClassifier() = default;

platform::File OrderedClassifier::Open(const PathItem& item, platform::OpenStatus* status) {
  for (;;) {
    const uint64_t closedBefore = filesClosed_.load();
    platform::File file = item.parent ? item.parent->OpenFile(item.name, item.followLinks, status)
                                      : platform::File::OpenForReading(item.path.c_str(), status);
    if (status->reason != platform::OpenStatus::Reason::kOutOfDescriptors) return file;
    // Out of descriptors says nothing about the file. While other threads hold files, one will
    // be given back soon: wait for it. With none held here, no wait would end.
    if (filesOpen_.load() == 0) return file;
    fileClosed_.WaitUntil(
        [&] { return filesClosed_.load() != closedBefore || filesOpen_.load() == 0; });
  }
}

bool OrderedClassifier::ClassifyOne(uint32_t thread) {
  uint64_t index = claimed_.load(std::memory_order_relaxed);
  do {
    if (index >= filled_.load() || stop_.load()) return false;
  } while (!claimed_.compare_exchange_weak(index, index + 1));
  Slot& slot = slots_[index % ringSize_];
  FileClassifier& classifier = *classifiers_[thread];
  const char16_t* path = slot.item.path.c_str();
  slot.failure = slot.item.failure;
  platform::File file;
  if (slot.failure.empty()) {
    platform::OpenStatus status;
    file = Open(slot.item, &status);
    slot.failure = DescribeOpenFailure(status);
  }
  // The directory is needed no longer: let it close while the slot waits to be handed on.
  slot.item.parent.reset();
  if (file.IsOpen()) {
    filesOpen_.fetch_add(1);
    classifier.CheckOpenFile(path, std::move(file));
    filesOpen_.fetch_sub(1);
    filesClosed_.fetch_add(1);
    fileClosed_.Wake();
  } else {
    classifier.CheckOpenFile(path, platform::File());
  }
  const CheckResult& result = classifier.result();
  if (!result.examined) notExamined_.fetch_add(1, std::memory_order_relaxed);
  slot.line.clear();
  AppendResultLine(mode_, slot.item.path,
                   {result.typeId, result.description, result.ruleIndex, slot.failure}, &slot.line);
  slot.done.store(true);
  slotDone_.Wake();
  return true;
}

void OrderedClassifier::Classify(uint32_t thread) {
  for (;;) {
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
  // classifies one itself, few enough that results follow a slow source closely.
  const uint64_t readAhead = threads_ == 1 ? 1 : 4 * uint64_t{threads_};
  bool more = true;
  for (;;) {
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
