#include <algorithm>
#include <cstring>

#include "platform/player_settings.h"

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

}  // namespace kindprobe::platform
