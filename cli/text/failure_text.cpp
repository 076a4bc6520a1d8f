#include "cli/text/failure_text.h"

#include "cli/text/text_join.h"
#include "platform/process.h"

namespace kindprobe::cli {

std::string DescribeOpenFailure(const platform::OpenStatus& status) {
  using Reason = platform::OpenStatus::Reason;
  switch (status.reason) {
    case Reason::kNone:
      return {};
    case Reason::kDirectory:
      return "is a directory (use -r)";
    case Reason::kNotRegularFile:
      return "not a regular file";
    case Reason::kSystem:
    case Reason::kOutOfDescriptors:
      break;
  }
  return Join({"cannot open (", platform::ErrorText(status.code), ")"});
}

std::string DescribeListFailure(int code) {
  return Join({"cannot read the directory (", platform::ErrorText(code), ")"});
}

}  // namespace kindprobe::cli
