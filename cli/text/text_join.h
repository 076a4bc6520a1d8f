// Joins pieces of text in one allocation. (Chains of std::string operator+ also trip a false
// -Wrestrict warning in GCC 12 at -O3.)
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace kindprobe::cli {

inline std::string Join(std::initializer_list<std::string_view> pieces) {
  size_t size = 0;
  for (std::string_view piece : pieces) size += piece.size();
  std::string text;
  text.reserve(size);
  for (std::string_view piece : pieces) text += piece;
  return text;
}

}  // namespace kindprobe::cli
