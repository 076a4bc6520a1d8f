// Why a path could not be examined, in the words printed after "PATH: " on standard error and
// in the "error" key of --json.
#pragma once

#include <string>

#include "platform/file.h"

namespace kindprobe::cli {

// Empty for a file that was opened.
std::string DescribeOpenFailure(const platform::OpenStatus& status);
// A directory that was opened but whose entries could not be read.
std::string DescribeListFailure(int code);

}  // namespace kindprobe::cli
