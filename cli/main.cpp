// kindprobe: tells what files really are, from their first bytes and their names.
#include <string>
#include <vector>

#include "cli/kindprobe_app.h"

#ifdef _WIN32

int wmain(int argc, wchar_t** argv) {
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
  return kindprobe::cli::RunKindprobe(args);
}

#else

#include "platform/utf.h"

int main(int argc, char** argv) {
  std::vector<std::u16string> args;
  // Undecodable bytes of a name survive the conversion and reach the file unchanged.
  for (int i = 1; i < argc; ++i) args.push_back(kindprobe::platform::Utf8ToUtf16(argv[i]));
  return kindprobe::cli::RunKindprobe(args);
}

#endif
