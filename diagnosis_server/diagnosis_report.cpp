#include "diagnosis_server/diagnosis_report.h"

#include <utility>

#include "cli/options.h"
#include "diagnosis/failure_text.h"
#include "diagnosis/mime_type.h"
#include "diagnosis/result_writer.h"
#include "engine/explain/explain.h"
#include "engine/file_classifier.h"
#include "engine/rule_table.h"
#include "platform/file.h"

namespace kindprobe::diagnosis_server {

std::string DiagnosisReport(std::u16string_view path, Language language) {
  RuleTable& table = ProcessRuleTable();
  EnsureRuleTableLoaded(table);
  // Made for each call: an object keeps nothing between calls, and these are small beside the
  // reading of the file.
  const explain::FormatFamilies families = explain::FormatFamilies::Shipped(table);
  const cli::MimeTypes mimeTypes = cli::MimeTypes::Shipped(table);

  const std::u16string name(path);
  platform::OpenStatus status;
  platform::File file = platform::File::OpenForReading(name.c_str(), &status);
  const std::string failure = DescribeOpenFailure(status);
  FileClassifier classifier(table);
  ReadFile read;
  classifier.CheckOpenFile(name.c_str(), std::move(file), &read);
  const explain::Explanation explanation =
      explain::ExplainFile(families, name.c_str(), read, classifier.result().ruleIndex);

  cli::ResultWriter writer(cli::OutputMode::kJson, language, &mimeTypes);
  std::string line;
  writer.Write(path, {classifier.result(), &explanation, failure, nullptr}, &line);
  if (!line.empty() && line.back() == '\n') line.pop_back();
  return line;
}

}  // namespace kindprobe::diagnosis_server
