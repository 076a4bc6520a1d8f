#include "cli/text/result_writer.h"

#include <vector>

#include "cli/text/description_language.h"
#include "cli/text/output_format.h"
#include "cli/text/reason_text.h"

namespace kindprobe::cli {

void ResultWriter::Write(std::u16string_view path, const CheckOutcome& outcome,
                         std::string* line) {
  const CheckResult& result = outcome.result;
  const Classification answer{result.typeId,    DescriptionIn(language_, result.description),
                              result.ruleIndex, outcome.failure,
                              nullptr,          nullptr};
  if (outcome.candidate == nullptr) {
    std::vector<ReasonLine> reasons;
    std::vector<StreamLine> streams;
    Classification explained = answer;
    if (outcome.explanation != nullptr) {
      reasons = ReasonLines(outcome.explanation->reasons, language_);
      streams = StreamLines(outcome.explanation->streams, language_);
      explained.reasons = &reasons;
      explained.streams = &streams;
    }
    AppendResultLine(mode_, path, explained, line);
    return;
  }
  const CheckResult& after = *outcome.candidate;
  const Classification changed{after.typeId,    DescriptionIn(language_, after.description),
                               after.ruleIndex, {},
                               nullptr,         nullptr};
  // The same answer from another rule is no change for the player.
  if (answer.typeId != changed.typeId || answer.description != changed.description) {
    changed_.fetch_add(1, std::memory_order_relaxed);
    AppendChangeLine(mode_, path, answer, changed, line);
  }
}

}  // namespace kindprobe::cli
