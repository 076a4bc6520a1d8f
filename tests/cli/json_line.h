// A strict reader for the flat JSON objects kindprobe writes, one per line: string, integer
// and null values only. Anything else, or any malformed byte, is a parse failure.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kindprobe::clitest {

struct JsonValue {
  enum class Type { kString, kInteger, kNull } type = Type::kNull;
  std::u16string text;  // kString, escapes decoded (lone surrogates kept)
  int64_t integer = 0;  // kInteger
};

using JsonObject = std::map<std::string, JsonValue>;

// The object on `line`, or nullopt when the line is not one well-formed flat object whose
// strings are valid UTF-8.
std::optional<JsonObject> ParseJsonLine(std::string_view line);

}  // namespace kindprobe::clitest
