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
  OpenStatus ignored;
  return OpenForReading(path, &ignored);
}

File File::OpenForReading(const char16_t* path, OpenStatus* status) {
  return Open(path, true, status);
}

File File::Open(const char16_t* path, bool lookFirst, OpenStatus* status) {
  File file;
  const auto fail = [&](OpenStatus::Reason reason, DWORD code) {
    if (code == ERROR_TOO_MANY_OPEN_FILES) reason = OpenStatus::Reason::kOutOfDescriptors;
    *status = {reason, static_cast<int>(code)};
    return File();
  };
  if (path == nullptr || *path == u'\0')
    return fail(OpenStatus::Reason::kSystem, ERROR_FILE_NOT_FOUND);
  const wchar_t* name = reinterpret_cast<const wchar_t*>(path);
  if (lookFirst) {
    const DWORD attributes = ::GetFileAttributesW(name);
    if (attributes == INVALID_FILE_ATTRIBUTES)
      return fail(OpenStatus::Reason::kSystem, ::GetLastError());
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return fail(OpenStatus::Reason::kDirectory, 0);
    if (attributes & FILE_ATTRIBUTE_DEVICE) return fail(OpenStatus::Reason::kNotRegularFile, 0);
  }
  // Sharing write and delete too: a download still being written, or a file the player is about
  // to delete, must neither be refused to us nor be blocked by us while we look.
  win32::UniqueFileHandle handle(
      ::CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) return fail(OpenStatus::Reason::kSystem, ::GetLastError());
  // Consoles, pipes and other devices open but could block a read forever, so only disk files
  // are examined.
  if (::GetFileType(handle.get()) != FILE_TYPE_DISK) {
    return fail(OpenStatus::Reason::kNotRegularFile, 0);
  }
  file.handle_ = handle.release();
  *status = {};
  return file;
}

File File::ReadStream(const char16_t*, uint32_t, uint32_t, OpenStatus* status) {
  // Windows has no FIFO to name, and a file of standard input's bytes would have to be written
  // whole: not offered there.
  *status = {OpenStatus::Reason::kNotRegularFile, 0};
  return File();
}

bool File::IsOpen() const { return IsValid(handle_); }

bool File::IsStreamCopy() const { return false; }

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
