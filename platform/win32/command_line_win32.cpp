#include <windows.h>

#include <algorithm>

#include "platform/command_line.h"
#include "platform/win32/unique_resource.h"

namespace kindprobe::platform {
namespace {

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// Where the last component of `path` starts.
size_t NameStart(std::u16string_view path) {
  const size_t separator = path.find_last_of(u"\\/:");
  return separator == std::u16string_view::npos ? 0 : separator + 1;
}

bool IsPattern(std::u16string_view path) {
  return path.substr(NameStart(path)).find_first_of(u"*?") != std::u16string_view::npos;
}

// The names matching `pattern`, sorted as the directory walk sorts them.
std::vector<std::u16string> MatchingNames(const std::u16string& pattern, bool withDirectories) {
  std::vector<std::u16string> names;
  WIN32_FIND_DATAW entry{};
  const win32::UniqueFindHandle find(::FindFirstFileExW(Wide(pattern), FindExInfoBasic, &entry,
                                                        FindExSearchNameMatch, nullptr, 0));
  if (!find) return names;
  do {
    const std::u16string name(reinterpret_cast<const char16_t*>(entry.cFileName));
    if (name == u"." || name == u"..") continue;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !withDirectories) continue;
    names.push_back(name);
  } while (::FindNextFileW(find.get(), &entry));
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::vector<std::u16string> ExpandPathArguments(const std::vector<std::u16string>& arguments,
                                                bool withDirectories) {
  std::vector<std::u16string> paths;
  paths.reserve(arguments.size());
  for (const std::u16string& argument : arguments) {
    // A file whose name holds the characters is taken as named.
    if (!IsPattern(argument) || ::GetFileAttributesW(Wide(argument)) != INVALID_FILE_ATTRIBUTES) {
      paths.push_back(argument);
      continue;
    }
    const std::vector<std::u16string> names = MatchingNames(argument, withDirectories);
    if (names.empty()) {
      paths.push_back(argument);
      continue;
    }
    const std::u16string_view folder = std::u16string_view(argument).substr(0, NameStart(argument));
    for (const std::u16string& name : names) {
      paths.push_back(std::u16string(folder).append(name));
    }
  }
  return paths;
}

bool IsSystemHelpSwitch(std::u16string_view argument) { return argument == u"/?"; }

}  // namespace kindprobe::platform
