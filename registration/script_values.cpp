#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

#include "platform/hex.h"
#include "platform/text_routines.h"
#include "registration/script_steps.h"

namespace kindprobe::registration::script {
namespace {

// Registry data is little-endian; the UTF-16 units and numbers below are stored as they lie in
// memory.
static_assert(std::endian::native == std::endian::little);

// Room for "B" and "M" data: an inline area for the common small values, the heap beyond it.
class ScratchBuffer {
 public:
  // Null when the heap cannot provide `bytes`.
  std::uint8_t* Allocate(std::size_t bytes) {
    if (bytes <= sizeof(inline_)) return inline_;
    heap_.reset(new (std::nothrow) std::uint8_t[bytes]);
    return heap_.get();
  }

 private:
  alignas(char16_t) std::uint8_t inline_[kInlineScratchBytes];
  std::unique_ptr<std::uint8_t[]> heap_;
};

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
  ScratchBuffer scratch;
  std::uint8_t* bytes = scratch.Allocate(digits / 2);
  if (bytes == nullptr) {
    *failure = hr::kFail;
    return platform::kErrorSuccess;
  }
  std::memset(bytes, 0, digits / 2);
  for (std::size_t i = 0; i < digits; ++i) {
    const unsigned shift = (i % 2 == 0) ? 4 : 0;
    bytes[i / 2] = static_cast<std::uint8_t>(bytes[i / 2] | (DataDigitValue(value.units[i]) << shift));
  }
  return registry.SetValue(key, name, platform::kRegBinary, bytes,
                           static_cast<std::uint32_t>(digits / 2));
}

// "one\0two" becomes the strings "one" and "two"; the list ends at its first empty string.
Win32Error StoreMultiString(platform::Registry& registry, platform::RegKey key,
                            const char16_t* name, const TokenBuffer& value, HResult* failure) {
  const std::size_t length = TokenLength(value);
  ScratchBuffer scratch;
  auto* list = reinterpret_cast<char16_t*>(scratch.Allocate((length + 2) * sizeof(char16_t)));
  if (list == nullptr) {
    *failure = hr::FromWin32(platform::kErrorOutOfMemory);
    return platform::kErrorSuccess;
  }
  char16_t* out = list;
  for (const char16_t* in = value.units; *in != 0;) {
    const char16_t* next = platform::NextCharacter(in);
    if (*in == kBackslash && *next == u'0') {
      *out++ = 0;
      in = platform::NextCharacter(next);
    } else {
      while (in != next) *out++ = *in++;
    }
  }
  *out++ = 0;
  *out = 0;
  std::size_t units = 0;
  for (const char16_t* string = list;;) {
    std::size_t stringUnits = 1;
    while (string[stringUnits - 1] != 0) ++stringUnits;
    units += stringUnits;
    string += stringUnits;
    if (stringUnits == 1) break;
  }
  return registry.SetValue(key, name, platform::kRegMultiSz, list,
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
