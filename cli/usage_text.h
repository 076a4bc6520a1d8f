// The --help text.
#pragma once

namespace kindprobe::cli {

const char* UsageText();

}  // namespace kindprobe::cli
