#include <algorithm>
#include <bit>
#include <new>
#include <string>
#include <vector>

#include "platform/hex.h"
#include "platform/text_routines.h"
#include "registration/script_steps.h"

namespace kindprobe::registration::script {
namespace {

// Registry data is little-endian; the UTF-16 units and numbers below are stored as they lie in
// memory.
static_assert(std::endian::native == std::endian::little);

std::size_t TokenLength(const TokenBuffer& token) {
  std::size_t length = 0;
  while (token.units[length] != 0) ++length;
  return length;
}

// Anything but a hexadecimal digit counts as a zero digit.
int DataDigitValue(char16_t unit) { return std::max(platform::HexDigitValue(unit), 0); }

Win32Error StoreBinary(platform::Registry& registry, platform::RegKey key, const char16_t* name,
                       const TokenBuffer& value, HResult* failure) {
  const std::size_t digits = TokenLength(value);
  if (digits % 2 != 0) {
    *failure = hr::kFail;
    return platform::kErrorSuccess;
  }
  std::vector<std::uint8_t> bytes;
  try {
    bytes.resize(digits / 2);
  } catch (const std::bad_alloc&) {
    *failure = hr::kFail;  // B data has always answered E_FAIL here, M data E_OUTOFMEMORY
    return platform::kErrorSuccess;
  }
  for (std::size_t i = 0; i < digits; ++i) {
    const unsigned shift = (i % 2 == 0) ? 4 : 0;
    bytes[i / 2] |= static_cast<std::uint8_t>(DataDigitValue(value.units[i]) << shift);
  }
  // Empty data is still handed over in a buffer, never as a null pointer.
  static constexpr std::uint8_t kNoBytes[1] = {};
  return registry.SetValue(key, name, platform::kRegBinary,
                           bytes.empty() ? kNoBytes : bytes.data(),
                           static_cast<std::uint32_t>(bytes.size()));
}

// "one\0two" becomes the strings "one" and "two", each with its NUL, and the NUL of the list.
std::u16string MultiStringList(const TokenBuffer& value) {
  std::u16string list;
  list.reserve(TokenLength(value) + 2);
  for (const char16_t* in = value.units; *in != 0;) {
    const char16_t* next = platform::NextCharacter(in);
    if (*in == kBackslash && *next == u'0') {
      list.push_back(0);
      in = platform::NextCharacter(next);
    } else {
      list.append(in, next);
      in = next;
    }
  }
  list.append(2, u'\0');
  return list;
}

// The value stored ends at the list's first empty string.
Win32Error StoreMultiString(platform::Registry& registry, platform::RegKey key,
                            const char16_t* name, const TokenBuffer& value, HResult* failure) {
  std::u16string list;
  try {
    list = MultiStringList(value);
  } catch (const std::bad_alloc&) {
    *failure = hr::FromWin32(platform::kErrorOutOfMemory);
    return platform::kErrorSuccess;
  }
  std::size_t units = 0;
  for (const char16_t* string = list.c_str();;) {
    std::size_t stringUnits = 1;
    while (string[stringUnits - 1] != 0) ++stringUnits;
    units += stringUnits;
    string += stringUnits;
    if (stringUnits == 1) break;
  }
  return registry.SetValue(key, name, platform::kRegMultiSz, list.c_str(),
                           static_cast<std::uint32_t>(units * sizeof(char16_t)));
}

}  // namespace

HResult SkipAssignedValue(ScriptRun& run) {
  if (run.token.units[0] != kEquals) return hr::kOk;
  KINDPROBE_RETURN_IF_FAILED(ReadToken(run.cursor, run.token));
  TokenBuffer value;
  KINDPROBE_RETURN_IF_FAILED(ReadToken(run.cursor, value));
  return ReadToken(run.cursor, run.token);
}

HResult WriteScriptValue(ScriptRun& run, platform::RegKey key, const char16_t* name) {
  KINDPROBE_RETURN_IF_FAILED(ReadToken(run.cursor, run.token));
  const ValueTypeRow* type = ValueTypeFromLetter(run.token.units);
  if (type == nullptr) return hr::kDispException;
  TokenBuffer value;
  KINDPROBE_RETURN_IF_FAILED(ReadToken(run.cursor, value));

  HResult failure = hr::kOk;
  Win32Error error = platform::kErrorSuccess;
  switch (type->kind) {
    case ValueKind::kString:
      error = run.registry.SetValue(
          key, name, type->regType, value.units,
          static_cast<std::uint32_t>((TokenLength(value) + 1) * sizeof(char16_t)));
      break;
    case ValueKind::kNumber: {
      std::uint32_t number = 0;
      failure = platform::UInt32FromString(value.units, &number);
      if (hr::Succeeded(failure)) {
        error = run.registry.SetValue(key, name, type->regType, &number, sizeof(number));
      }
      break;
    }
    case ValueKind::kBinary:
      error = StoreBinary(run.registry, key, name, value, &failure);
      break;
    case ValueKind::kMultiString:
      error = StoreMultiString(run.registry, key, name, value, &failure);
      break;
  }
  if (hr::Failed(failure)) return failure;
  if (error != platform::kErrorSuccess) return hr::FromWin32(error);
  return ReadToken(run.cursor, run.token);
}

}  // namespace kindprobe::registration::script
