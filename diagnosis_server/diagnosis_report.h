// The report Diagnose answers: the file checked and explained as `kindprobe --explain --json`
// checks one path named on its command line, in the same words.
#pragma once

#include <string>
#include <string_view>

#include "diagnosis/language.h"

namespace kindprobe::diagnosis_server {

// The JSON object for `path`, as UTF-8, without the line end.
std::string DiagnosisReport(std::u16string_view path, Language language);

}  // namespace kindprobe::diagnosis_server
