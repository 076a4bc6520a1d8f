#include "engine/explain/explain.h"

#include <algorithm>

#include "engine/explain/explainers.h"
#include "engine/signature_match.h"

namespace kindprobe::explain {
namespace {

using Explainer = bool (*)(ExplainReader&, Reasons*);

// Heads are checked in this order; the first explainer that knows the head has the say. The
// transport stream comes last: its only mark is a byte that other heads may have too.
constexpr Explainer kExplainers[] = {ExplainRiff, ExplainIsoMedia,  ExplainMatroska, ExplainFlv,
                                     ExplainOgg,  ExplainMpegAudio, ExplainMpegTs};

}  // namespace

const char* ReasonCodeName(ReasonCode code) {
  switch (code) {
    case ReasonCode::kTruncated:
      return "truncated";
    case ReasonCode::kRenamed:
      return "renamed";
    case ReasonCode::kNoMediaData:
      return "no-media-data";
  }
  return "truncated";
}

Reason Finding(ReasonCode code, DetailId detail, uint64_t declared, uint64_t actual) {
  Reason reason;
  reason.code = code;
  reason.detail = detail;
  reason.declared = declared;
  reason.actual = actual;
  return reason;
}

Reasons ExplainContainer(ExplainReader& reader) {
  Reasons found;
  for (Explainer explainer : kExplainers) {
    if (explainer(reader, &found)) break;
  }
  // One reason per code: the first is the most telling (the outermost structure).
  Reasons reasons;
  for (Reason& reason : found) {
    const bool seen = std::any_of(reasons.begin(), reasons.end(),
                                  [&](const Reason& r) { return r.code == reason.code; });
    if (!seen) reasons.push_back(std::move(reason));
  }
  return reasons;
}

std::optional<Reason> ExplainName(const RuleTable& table, std::u16string_view extension,
                                  int32_t ruleIndex) {
  if (extension.empty() || ruleIndex < 0 || ruleIndex >= table.ruleCount) return std::nullopt;
  const int32_t nameRule = FirstRuleListing(table, extension);
  if (nameRule < 0 || nameRule == ruleIndex) return std::nullopt;
  const std::u16string_view nameDescription = table.rules[nameRule]->description;
  const std::u16string_view contentDescription = table.rules[ruleIndex]->description;
  // Two rules for one format (MP4 and MOV share a description): not a rename the user can see.
  if (nameDescription == contentDescription) return std::nullopt;
  Reason reason = Finding(ReasonCode::kRenamed, DetailId::kRenamed);
  reason.name = extension;
  reason.nameRule = nameDescription;
  reason.other = contentDescription;
  return reason;
}

}  // namespace kindprobe::explain
