#include "cli/ordered_classifier.h"

#include <algorithm>

#include "cli/description_language.h"
#include "cli/output_format.h"
#include "cli/worker_threads.h"

namespace kindprobe::cli {

struct OrderedClassifier::Slot {
  std::u16string path;
  // Kept between uses so that its storage is reused.
  std::string line;
  std::atomic<bool> done{false};
};

OrderedClassifier::OrderedClassifier(uint32_t threads, OutputMode mode, size_t ringSize,
                                     ClassifierTables tables)
    : threads_(std::max<uint32_t>(threads, 1)),
      mode_(mode),
      ringSize_(std::max<size_t>(ringSize, 1)),
      slots_(std::make_unique<Slot[]>(ringSize_)) {
  RuleTable& table = tables.table != nullptr ? *tables.table : ProcessRuleTable();
  for (uint32_t i = 0; i < threads_; ++i) {
    classifiers_.push_back(std::make_unique<FileClassifier>(table));
    if (tables.candidate != nullptr) {
      candidates_.push_back(std::make_unique<FileClassifier>(*tables.candidate));
    }
  }
}

OrderedClassifier::~OrderedClassifier() = default;

void OrderedClassifier::Explain(Language language) {
  language_ = language;
  collectors_.clear();
  for (uint32_t i = 0; i < threads_; ++i) {
    collectors_.push_back(std::make_unique<explain::ReasonCollector>());
  }
}

bool OrderedClassifier::ClassifyOne(uint32_t thread) {
  uint64_t index = claimed_.load(std::memory_order_relaxed);
  do {
    if (index >= filled_.load(std::memory_order_acquire)) return false;
  } while (!claimed_.compare_exchange_weak(index, index + 1, std::memory_order_acq_rel,
                                           std::memory_order_relaxed));
  Slot& slot = slots_[index % ringSize_];
  FileClassifier& classifier = *classifiers_[thread];
  std::vector<ReasonLine> reasons;
  if (collectors_.empty()) {
    classifier.CheckFile(slot.path.c_str());
  } else {
    collectors_[thread]->Check(classifier, slot.path.c_str());
    reasons = ReasonLines(collectors_[thread]->reasons(), language_);
  }
  const CheckResult& result = classifier.result();
  if (!result.examined) notExamined_.fetch_add(1, std::memory_order_relaxed);
  slot.line.clear();
  const Classification answer{result.typeId, DescriptionIn(language_, result.description),
                             result.ruleIndex};
  if (candidates_.empty()) {
    Classification explained = answer;
    explained.reasons = collectors_.empty() ? nullptr : &reasons;
    AppendResultLine(mode_, slot.path, explained, &slot.line);
  } else {
    FileClassifier& candidate = *candidates_[thread];
    candidate.CheckFile(slot.path.c_str());
    const CheckResult& after = candidate.result();
    const Classification changed{after.typeId, DescriptionIn(language_, after.description),
                                  after.ruleIndex};
    // The same answer from another rule is no change for the player.
    if (answer.typeId != changed.typeId || answer.description != changed.description) {
      changed_.fetch_add(1, std::memory_order_relaxed);
      AppendChangeLine(mode_, slot.path, answer, changed, &slot.line);
    }
  }
  slot.done.store(true, std::memory_order_release);
  return true;
}

void OrderedClassifier::Classify(uint32_t thread) {
  for (unsigned idle = 0;;) {
    if (ClassifyOne(thread)) {
      idle = 0;
      continue;
    }
    if (sourceDone_.load(std::memory_order_acquire) &&
        claimed_.load(std::memory_order_acquire) >= filled_.load(std::memory_order_acquire)) {
      return;
    }
    PauseBriefly(idle++);
  }
}

bool OrderedClassifier::HandOnFinished(const Io& io, uint64_t filled) {
  bool any = false;
  while (handedOn_ < filled) {
    Slot& slot = slots_[handedOn_ % ringSize_];
    if (!slot.done.load(std::memory_order_acquire)) break;
    io.handOn(slot.line, ++handedOn_);
    slot.done.store(false, std::memory_order_relaxed);
    any = true;
  }
  return any;
}

void OrderedClassifier::Coordinate(const Io& io) {
  // Paths read ahead of the threads: enough that none of them runs dry while this thread
  // classifies one itself, few enough that results follow a slow source closely.
  const uint64_t readAhead = threads_ == 1 ? 1 : 4 * uint64_t{threads_};
  bool more = true;
  for (unsigned idle = 0;;) {
    bool progressed = false;
    uint64_t filled = filled_.load(std::memory_order_relaxed);
    while (more && filled - handedOn_ < ringSize_ &&
           filled - claimed_.load(std::memory_order_relaxed) < readAhead) {
      // Reading may wait: first hand on and flush everything that is in flight.
      if (handedOn_ < filled && !io.nextIsReady()) break;
      if (handedOn_ == filled && !io.nextIsReady()) io.flush();
      Slot& slot = slots_[filled % ringSize_];
      if (!(more = io.next(&slot.path))) break;
      filled_.store(++filled, std::memory_order_release);
      progressed = true;
    }
    if (!more) sourceDone_.store(true, std::memory_order_release);
    progressed |= HandOnFinished(io, filled);
    if (!more && handedOn_ == filled) return;
    if (ClassifyOne(0)) progressed = true;
    if (progressed) {
      idle = 0;
    } else {
      // Every path read so far is being classified by other threads.
      PauseBriefly(idle++);
    }
  }
}

size_t OrderedClassifier::Run(const Io& io) {
  filled_ = 0;
  claimed_ = 0;
  handedOn_ = 0;
  sourceDone_ = false;
  notExamined_ = 0;
  changed_ = 0;
  RunOnThreads(threads_, [&](uint32_t thread) {
    if (thread == 0) {
      Coordinate(io);
    } else {
      Classify(thread);
    }
  });
  return notExamined_.load();
}

}  // namespace kindprobe::cli
