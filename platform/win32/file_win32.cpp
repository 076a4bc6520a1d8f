#include <windows.h>

#include <utility>

#include "platform/file.h"
#include "platform/win32/unique_resource.h"

namespace kindprobe::platform {
namespace {

HANDLE AsHandle(void* handle) { return static_cast<HANDLE>(handle); }

bool IsValid(void* handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

}  // namespace

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

File File::OpenForReading(const char16_t* path) {
  File file;
  if (path == nullptr || *path == u'\0') return file;
  // Sharing write and delete too: a download still being written, or a file the player is about
  // to delete, must neither be refused to us nor be blocked by us while we look.
  win32::UniqueFileHandle handle(::CreateFileW(
      reinterpret_cast<const wchar_t*>(path), GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) return file;
  // Directories are refused by CreateFileW itself; consoles, pipes and other devices open but
  // could block a read forever, so only disk files are examined.
  if (::GetFileType(handle.get()) != FILE_TYPE_DISK) return file;
  file.handle_ = handle.release();
  return file;
}

bool File::IsOpen() const { return IsValid(handle_); }

bool File::Size(uint64_t* size) const {
  LARGE_INTEGER value;
  if (!IsOpen() || !::GetFileSizeEx(AsHandle(handle_), &value) || value.QuadPart < 0) return false;
  *size = static_cast<uint64_t>(value.QuadPart);
  return true;
}

bool File::SeekToStart() {
  LARGE_INTEGER zero{};
  return IsOpen() && ::SetFilePointerEx(AsHandle(handle_), zero, nullptr, FILE_BEGIN);
}

bool File::SeekFromEnd(int64_t distance) {
  LARGE_INTEGER move;
  move.QuadPart = distance;
  return IsOpen() && ::SetFilePointerEx(AsHandle(handle_), move, nullptr, FILE_END);
}

bool File::Read(void* buffer, uint32_t size, uint32_t* bytesRead) {
  *bytesRead = 0;
  if (!IsOpen()) return false;
  DWORD got = 0;
  if (!::ReadFile(AsHandle(handle_), buffer, size, &got, nullptr)) return false;
  *bytesRead = got;
  return true;
}

void File::Close() {
  if (IsOpen()) ::CloseHandle(AsHandle(handle_));
  handle_ = nullptr;
}

}  // namespace kindprobe::platform
