// The kindprobe command: options in, results on standard output, an exit status back.
#pragma once

#include <string>
#include <vector>

namespace kindprobe::cli {

// Exit statuses.
inline constexpr int kExitAllExamined = 0;
inline constexpr int kExitSomeNotExamined = 1;
inline constexpr int kExitUsage = 2;

// `args` excludes the program name.
int RunKindprobe(const std::vector<std::u16string>& args);

}  // namespace kindprobe::cli
