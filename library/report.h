// The report of a checker's last check, in UTF-8 and in the checker's language: what the C
// accessors hand out pointers into.
#pragma once

#include <string>
#include <vector>

#include "diagnosis/language.h"
#include "engine/explain/stream.h"
#include "engine/file_classifier.h"
#include "platform/file.h"

namespace kindprobe::library {

struct Report {
  struct ReasonText {
    const char* code;
    std::string detail;
  };
  struct StreamText {
    const char* kind;
    std::string codec;
    std::string tag;
  };

  int typeId = TypeIDUnknown;
  std::string description;
  int rule = -1;
  bool examined = false;
  int error = 0;  // errno
  std::string errorText;
  std::vector<ReasonText> reasons;
  std::vector<StreamText> streams;
};

// `checked` with the explanation (null: none) and the open status of its file, in `language`.
void FillReport(Report& report, const CheckResult& checked, const explain::Explanation* explanation,
                const platform::OpenStatus& status, Language language);

}  // namespace kindprobe::library
