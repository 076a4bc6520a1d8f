#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/player_settings.h"
#include "platform/utf.h"

namespace kindprobe::platform {
namespace {

std::optional<std::u16string>& StorePathValue() {
  static std::optional<std::u16string> value;
  return value;
}

}  // namespace

void SetStorePath(std::optional<std::u16string> value) { StorePathValue() = std::move(value); }

bool ReadStorePath(char16_t* buffer) {
  std::fill_n(buffer, kStorePathCapacity, u'\0');
  const auto& value = StorePathValue();
  if (!value) return false;
  // Like the registry: data (with its terminator) larger than the buffer is not read.
  if (value->size() + 1 > kStorePathCapacity) return false;
  std::copy(value->begin(), value->end(), buffer);
  return true;
}

std::u16string AbsolutePath(std::u16string_view path) {
  if (!path.empty() && path.front() == u'/') return std::u16string(path);
  char directory[PATH_MAX];
  // Without a working directory to name, the path stays as it was given.
  if (::getcwd(directory, sizeof directory) == nullptr) return std::u16string(path);
  std::u16string absolute = Utf8ToUtf16(directory);
  absolute += u'/';
  absolute += path;
  return absolute;
}

}  // namespace kindprobe::platform
