// HRESULT values the registration code reports, with the numbers Windows gives them, so results
// compare equal on every platform and in tests that run against the real registry.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kindprobe {

#ifdef _WIN32
using HResult = ::HRESULT;
#else
using HResult = std::int32_t;
#endif

// A Win32 system error code as the registry functions return it (LSTATUS).
using Win32Error = std::int32_t;

namespace hr {

inline constexpr HResult kOk = 0;
inline constexpr HResult kFalse = 1;
inline constexpr HResult kNotImpl = static_cast<HResult>(0x80004001u);
inline constexpr HResult kPointer = static_cast<HResult>(0x80004003u);
inline constexpr HResult kFail = static_cast<HResult>(0x80004005u);
inline constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000Eu);
inline constexpr HResult kInvalidArg = static_cast<HResult>(0x80070057u);
inline constexpr HResult kDispTypeMismatch = static_cast<HResult>(0x80020005u);
inline constexpr HResult kDispException = static_cast<HResult>(0x80020009u);
inline constexpr HResult kDispOverflow = static_cast<HResult>(0x8002000Au);

constexpr bool Failed(HResult result) { return result < 0; }
constexpr bool Succeeded(HResult result) { return result >= 0; }

// Returns the result of `expression` from the calling function when it is a failure.
#define KINDPROBE_RETURN_IF_FAILED(expression)                                  \
  do {                                                                          \
    if (const ::kindprobe::HResult kindprobe_result_ = (expression);            \
        ::kindprobe::hr::Failed(kindprobe_result_)) {                           \
      return kindprobe_result_;                                                 \
    }                                                                           \
  } while (false)

// A system error code in HRESULT form: 0 and negative codes pass through unchanged.
constexpr HResult FromWin32(Win32Error error) {
  return error <= 0 ? static_cast<HResult>(error)
                    : static_cast<HResult>((static_cast<std::uint32_t>(error) & 0xFFFFu) |
                                           0x80070000u);
}

}  // namespace hr

#ifdef _WIN32
static_assert(hr::kOk == S_OK && hr::kFalse == S_FALSE);
static_assert(hr::kNotImpl == E_NOTIMPL && hr::kPointer == E_POINTER && hr::kFail == E_FAIL);
static_assert(hr::kOutOfMemory == E_OUTOFMEMORY && hr::kInvalidArg == E_INVALIDARG);
static_assert(hr::kDispTypeMismatch == DISP_E_TYPEMISMATCH);
static_assert(hr::kDispException == DISP_E_EXCEPTION && hr::kDispOverflow == DISP_E_OVERFLOW);
#endif

}  // namespace kindprobe
