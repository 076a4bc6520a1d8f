// Turns what a check of one path gave into its output line: descriptions in the chosen
// language, the reasons of --explain, and in a comparison only the paths whose answer changes.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

#include "cli/options.h"
#include "diagnosis/mime_type.h"
#include "engine/explain/stream.h"
#include "engine/file_classifier.h"

namespace kindprobe::cli {

// What the check of one path gave.
struct CheckOutcome {
  const CheckResult& result;
  const explain::Explanation* explanation = nullptr;  // with --explain
  std::string_view failure;                   // why it could not be examined; empty when it was
  const CheckResult* candidate = nullptr;     // with --compare-rules: the candidate's answer
};

// Safe to use from several threads at once.
class ResultWriter {
 public:
  // With `mimeTypes` (resolved for the table in use), each result line carries the answer's
  // MIME type: in place of the description when `mimeOnly`, else in JSON only.
  ResultWriter(OutputMode mode, Language language, const MimeTypes* mimeTypes = nullptr,
               bool mimeOnly = false)
      : mode_(mode), language_(language), mimeTypes_(mimeTypes), mimeOnly_(mimeOnly) {}

  // Appends the line for `path`, line end included; in a comparison, only when the answer
  // changes.
  void Write(std::u16string_view path, const CheckOutcome& outcome, std::string* line);
  // In a comparison: how many paths written so far changed their answer.
  size_t changed() const { return changed_.load(); }

 private:
  OutputMode mode_;
  Language language_;
  const MimeTypes* mimeTypes_;
  bool mimeOnly_;
  std::atomic<size_t> changed_{0};
};

}  // namespace kindprobe::cli
