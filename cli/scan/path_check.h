// One path checked into its outcome: the answer of the table in use, why the file may not play
// (--explain), why it could not be opened, and in a comparison the candidate table's answer.
#pragma once

#include <optional>
#include <string>

#include "cli/scan/path_source.h"
#include "diagnosis/result_writer.h"
#include "engine/explain/explain.h"
#include "engine/file_classifier.h"
#include "platform/file.h"

namespace kindprobe::cli {

// The tables of a run: `table` (null: the process's own); for a comparison `candidate` as well,
// when a path gets a line only if the two tables answer it differently; with --explain the
// format families of `table`.
struct ClassifierTables {
  RuleTable* table = nullptr;
  RuleTable* candidate = nullptr;
  const explain::FormatFamilies* families = nullptr;
};

// Where a check gets its files: opening may wait (for a descriptor another check gives back),
// and the opener hears when a file it gave is closed again.
class FileOpener {
 public:
  virtual ~FileOpener() = default;
  // The file of `item`, or a closed file and `failure` saying why.
  virtual platform::File Open(const PathItem& item, std::string* failure) = 0;
  // A file Open gave, open or not, is closed again.
  virtual void Closed(bool wasOpen) = 0;
};

// Checks one path at a time; each thread has its own, which owns its classifiers' heads.
class PathCheck {
 public:
  explicit PathCheck(const ClassifierTables& tables);

  // The outcome refers to this check's own results until the next Check.
  CheckOutcome Check(const PathItem& item, FileOpener& opener);

 private:
  // Classifies the file of `item` with `classifier`, explaining it when `explanation` is given.
  void Classify(const PathItem& item, FileOpener& opener, FileClassifier& classifier,
                std::string* failure, explain::Explanation* explanation);

  FileClassifier classifier_;
  std::optional<FileClassifier> candidate_;
  const explain::FormatFamilies* families_;
  explain::Explanation explanation_;
  std::string failure_;
};

}  // namespace kindprobe::cli
