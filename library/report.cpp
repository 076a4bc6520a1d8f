#include "library/report.h"

#include "diagnosis/description_language.h"
#include "diagnosis/failure_text.h"
#include "diagnosis/reason_text.h"
#include "platform/utf.h"

namespace kindprobe::library {

void FillReport(Report& report, const CheckResult& checked, const explain::Explanation* explanation,
                const platform::OpenStatus& status, Language language) {
  // A table of one's own may hold any number; the interface promises 0..4.
  report.typeId = checked.typeId >= TypeIDUnknown && checked.typeId <= TypeIDInvalidMedia
                      ? checked.typeId
                      : TypeIDUnknown;
  report.description = platform::Utf16ToUtf8(DescriptionIn(language, checked.description));
  report.rule = checked.ruleIndex;
  report.examined = checked.examined;
  report.error = OpenFailureErrno(status);
  report.errorText = DescribeOpenFailure(status);
  report.reasons.clear();
  report.streams.clear();
  if (explanation == nullptr) return;
  for (const explain::Reason& reason : explanation->reasons) {
    report.reasons.push_back({explain::ReasonCodeName(reason.code),
                              platform::Utf16ToUtf8(DetailText(reason, language))});
  }
  for (const explain::Stream& stream : explanation->streams) {
    const std::u16string& codec =
        language == Language::kChinese && !stream.codecZh.empty() ? stream.codecZh : stream.codec;
    report.streams.push_back(
        {explain::StreamKindName(stream.kind), platform::Utf16ToUtf8(codec), stream.tag});
  }
}

}  // namespace kindprobe::library
