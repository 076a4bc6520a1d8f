#include "diagnosis/result_writer.h"

#include <vector>

#include "diagnosis/output_format.h"
#include "diagnosis/description_language.h"
#include "diagnosis/reason_text.h"

namespace kindprobe::cli {

void ResultWriter::Write(std::u16string_view path, const CheckOutcome& outcome,
                         std::string* line) {
  const CheckResult& result = outcome.result;
  Classification answer;
  answer.typeId = result.typeId;
  answer.description = DescriptionIn(language_, result.description);
  answer.ruleIndex = result.ruleIndex;
  answer.error = outcome.failure;
  if (outcome.candidate == nullptr) {
    if (mimeTypes_ != nullptr) {
      answer.mime = mimeTypes_->Of(result);
      answer.mimeOnly = mimeOnly_;
    }
    std::vector<ReasonLine> reasons;
    std::vector<StreamLine> streams;
    if (outcome.explanation != nullptr) {
      reasons = ReasonLines(outcome.explanation->reasons, language_);
      streams = StreamLines(outcome.explanation->streams, language_);
      answer.reasons = &reasons;
      answer.streams = &streams;
    }
    AppendResultLine(mode_, path, answer, line);
    return;
  }
  const CheckResult& after = *outcome.candidate;
  // No MIME types: the candidate's rules are not those the types were resolved for.
  Classification changed;
  changed.typeId = after.typeId;
  changed.description = DescriptionIn(language_, after.description);
  changed.ruleIndex = after.ruleIndex;
  // The same answer from another rule is no change for the player.
  if (answer.typeId != changed.typeId || answer.description != changed.description) {
    changed_.fetch_add(1, std::memory_order_relaxed);
    AppendChangeLine(mode_, path, answer, changed, line);
  }
}

}  // namespace kindprobe::cli
