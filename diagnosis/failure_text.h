// Why a path could not be examined, in the words printed after "PATH: " on standard error, in
// the "error" key of --json and in the C library's report.
#pragma once

#include <string>

#include "platform/file.h"

namespace kindprobe {

// Empty for a file that was opened.
std::string DescribeOpenFailure(const platform::OpenStatus& status);
// A directory that was opened but whose entries could not be read.
std::string DescribeListFailure(int code);
// The errno value of an open failure (0 for a file that was opened): EISDIR for a directory,
// ENODEV for anything else that is not a regular file; on Windows the system's own code.
int OpenFailureErrno(const platform::OpenStatus& status);

}  // namespace kindprobe
