// What a command line means on each system. A Windows shell passes wildcards on unexpanded and
// each program expands them itself; Windows programs also answer "/?" with their help. On POSIX
// the shell has already expanded the arguments and "/?" is a path like any other.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kindprobe::platform {

// The path arguments with every pattern expanded: a '*' or '?' in the last component of an
// argument that does not name an existing file as it is, replaced by the matching names in name
// order (files only, unless `withDirectories`). A pattern that matches nothing stays as it is,
// to be reported as a path that cannot be opened.
std::vector<std::u16string> ExpandPathArguments(const std::vector<std::u16string>& arguments,
                                                bool withDirectories);

// Whether `argument` is the system's own way to ask a program for its help.
bool IsSystemHelpSwitch(std::u16string_view argument);

}  // namespace kindprobe::platform
