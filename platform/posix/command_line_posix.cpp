#include "platform/command_line.h"

namespace kindprobe::platform {

std::vector<std::u16string> ExpandPathArguments(const std::vector<std::u16string>& arguments,
                                                bool /*withDirectories*/) {
  return arguments;
}

bool IsSystemHelpSwitch(std::u16string_view /*argument*/) { return false; }

}  // namespace kindprobe::platform
