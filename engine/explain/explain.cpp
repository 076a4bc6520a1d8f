#include "engine/explain/explain.h"

#include <algorithm>
#include <iterator>

#include "engine/explain/explainers.h"
#include "engine/signature_match.h"

namespace kindprobe::explain {
namespace {

struct Explainer {
  Container container;
  bool (*explain)(ExplainReader&, Explanation*);
};

// Heads are checked in this order; the first explainer that knows the head has the say. The
// transport stream comes last: its only mark is a byte that other heads may have too.
constexpr Explainer kExplainers[] = {
    {Container::kRiff, ExplainRiff},           {Container::kIsoMedia, ExplainIsoMedia},
    {Container::kMatroska, ExplainMatroska},   {Container::kFlv, ExplainFlv},
    {Container::kOgg, ExplainOgg},             {Container::kMpegAudio, ExplainMpegAudio},
    {Container::kAsf, ExplainAsf},             {Container::kMpegTs, ExplainMpegTs}};
static_assert(std::size(kExplainers) == kContainerCount);

}  // namespace

const char* ReasonCodeName(ReasonCode code) {
  switch (code) {
    case ReasonCode::kTruncated:
      return "truncated";
    case ReasonCode::kRenamed:
      return "renamed";
    case ReasonCode::kNoMediaData:
      return "no-media-data";
    case ReasonCode::kDamaged:
      return "damaged";
    case ReasonCode::kEncrypted:
      return "encrypted";
    case ReasonCode::kNotMedia:
      return "not-media";
    case ReasonCode::kZeroFilled:
      return "zero-filled";
  }
  return "truncated";
}

const char* StreamKindName(StreamKind kind) {
  switch (kind) {
    case StreamKind::kVideo:
      return "video";
    case StreamKind::kAudio:
      return "audio";
    case StreamKind::kSubtitle:
      return "subtitle";
    case StreamKind::kOther:
      return "other";
  }
  return "other";
}

Reason Finding(ReasonCode code, DetailId detail, uint64_t declared, uint64_t actual) {
  Reason reason;
  reason.code = code;
  reason.detail = detail;
  reason.declared = declared;
  reason.actual = actual;
  return reason;
}

Reason ImpossibleSize(std::u16string structure, uint64_t size) {
  Reason reason = Finding(ReasonCode::kDamaged, DetailId::kImpossibleSize, size);
  reason.name = std::move(structure);
  return reason;
}

Explanation ExplainContainer(ExplainReader& reader, Containers readers) {
  Explanation found;
  for (const Explainer& explainer : kExplainers) {
    if ((readers & Bit(explainer.container)) != 0 && explainer.explain(reader, &found)) break;
  }
  // One reason per code: the first is the most telling (the outermost structure).
  Explanation explanation;
  for (Reason& reason : found.reasons) {
    const bool seen = std::any_of(explanation.reasons.begin(), explanation.reasons.end(),
                                  [&](const Reason& r) { return r.code == reason.code; });
    if (!seen) explanation.reasons.push_back(std::move(reason));
  }
  explanation.streams = std::move(found.streams);
  return explanation;
}

std::optional<Reason> ExplainName(const FormatFamilies& families, std::u16string_view extension,
                                  int32_t ruleIndex) {
  const RuleTable& table = families.table();
  if (extension.empty() || ruleIndex < 0 || ruleIndex >= table.ruleCount) return std::nullopt;
  const int32_t nameRule = FirstRuleListing(table, extension);
  if (nameRule < 0 || nameRule == ruleIndex) return std::nullopt;
  const std::u16string_view nameDescription = table.rules[nameRule]->description;
  const std::u16string_view contentDescription = table.rules[ruleIndex]->description;
  // Two rules for one format (MP4 and MOV share a description), or a name its players give that
  // content too (a bare MP3 matches the MPEG rule): not a rename the user can see.
  if (nameDescription == contentDescription || families.OneFamily(extension, ruleIndex)) {
    return std::nullopt;
  }
  Reason reason = Finding(ReasonCode::kRenamed, DetailId::kRenamed);
  reason.name = extension;
  reason.nameRule = nameDescription;
  reason.other = contentDescription;
  return reason;
}

}  // namespace kindprobe::explain
