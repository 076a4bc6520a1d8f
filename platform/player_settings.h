// The player's own settings: the one value the engine reads at run time.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kindprobe::platform {

// Capacity of the StorePath buffer, in UTF-16 code units (1544 bytes).
inline constexpr size_t kStorePathCapacity = 772;

// Reads StorePath of HKEY_LOCAL_MACHINE\SOFTWARE\Tessmark\Vireo into `buffer` (zero-filled
// first, kStorePathCapacity units). False when the key or the value is missing, unreadable or
// larger than the buffer.
bool ReadStorePath(char16_t* buffer);

// Whether ReadStorePath reads the registry. Where it does not, a value the program gives
// (SetStorePath) stands in for the registry value.
#ifdef _WIN32
inline constexpr bool kStorePathFromRegistry = true;
#else
inline constexpr bool kStorePathFromRegistry = false;
#endif

// The environment variable that stands in for the StorePath registry value off Windows.
inline constexpr char kStorePathVariable[] = "KINDPROBE_STORE_PATH";

// Where there is no registry, this stands in for the value; no value means the key is absent.
// Set it before checks start; it is read without a lock. Where the registry is read, it is
// not used.
void SetStorePath(std::optional<std::u16string> value);

// Where the value is the program's own, `path` made absolute against the working directory, so
// that a cache directory and the paths checked compare whatever way each was named; where the
// registry is read, `path` as it is.
std::u16string AbsolutePath(std::u16string_view path);

}  // namespace kindprobe::platform
