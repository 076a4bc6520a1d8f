#include "cli/scan/path_check.h"

namespace kindprobe::cli {

PathCheck::PathCheck(const ClassifierTables& tables)
    : classifier_(tables.table != nullptr ? *tables.table : ProcessRuleTable()),
      families_(tables.families) {
  if (tables.candidate != nullptr) candidate_.emplace(*tables.candidate);
}

void PathCheck::Classify(const PathItem& item, FileOpener& opener, FileClassifier& classifier,
                         std::string* failure, explain::Explanation* explanation) {
  *failure = item.failure;
  platform::File file;
  if (failure->empty()) file = opener.Open(item, failure);
  const bool open = file.IsOpen();
  if (explanation != nullptr) {
    ReadFile read;
    classifier.CheckOpenFile(item.path.c_str(), std::move(file), &read);
    *explanation = explain::ExplainFile(*families_, item.path.c_str(), read,
                                        classifier.result().ruleIndex);
  } else {
    classifier.CheckOpenFile(item.path.c_str(), std::move(file));
  }
  // The file is closed by now.
  opener.Closed(open);
}

CheckOutcome PathCheck::Check(const PathItem& item, FileOpener& opener) {
  Classify(item, opener, classifier_, &failure_, families_ != nullptr ? &explanation_ : nullptr);
  const CheckResult* candidate = nullptr;
  if (candidate_) {
    std::string ignored;  // the first check has said why, if it could not open the file
    Classify(item, opener, *candidate_, &ignored, nullptr);
    candidate = &candidate_->result();
  }
  return {classifier_.result(), families_ != nullptr ? &explanation_ : nullptr, failure_, candidate};
}

}  // namespace kindprobe::cli
