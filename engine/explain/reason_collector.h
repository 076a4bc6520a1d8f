// The reasons of one file, gathered while the classifier still holds it open.
#pragma once

#include "engine/explain/reason.h"
#include "engine/file_classifier.h"

namespace kindprobe::explain {

class ReasonCollector : public FileVisitor {
 public:
  explicit ReasonCollector(const RuleTable& table = ProcessRuleTable()) : table_(table) {}

  // Classifies `path` with `classifier` and gathers its reasons: those of the container first,
  // then the name's. A file that could not be read, or is empty, has none.
  void Check(FileClassifier& classifier, const char16_t* path);
  // The same for a file its caller has opened.
  void Check(FileClassifier& classifier, const char16_t* path, platform::File file);
  const Reasons& reasons() const { return reasons_; }

  void Visit(platform::File& file, uint64_t size, const FileHead& head, const char16_t* path,
             const CheckResult& result) override;

 private:
  const RuleTable& table_;
  Reasons reasons_;
};

}  // namespace kindprobe::explain
