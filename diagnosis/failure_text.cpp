#include "diagnosis/failure_text.h"

#include <cerrno>

#include "platform/process.h"

namespace kindprobe {
namespace {

// Appended piece by piece: GCC 12 at -O3 takes "literal" + std::string&& for an overlapping copy
// (-Wrestrict).
std::string InParentheses(const char* before, const std::string& inside) {
  std::string text(before);
  text += " (";
  text += inside;
  text += ')';
  return text;
}

}  // namespace

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
  return InParentheses("cannot open", platform::ErrorText(status.code));
}

std::string DescribeListFailure(int code) {
  return InParentheses("cannot read the directory", platform::ErrorText(code));
}

int OpenFailureErrno(const platform::OpenStatus& status) {
  using Reason = platform::OpenStatus::Reason;
  switch (status.reason) {
    case Reason::kNone:
      return 0;
    case Reason::kDirectory:
      return EISDIR;
    case Reason::kNotRegularFile:
      return ENODEV;
    case Reason::kSystem:
    case Reason::kOutOfDescriptors:
      break;
  }
  return status.code;
}

}  // namespace kindprobe
