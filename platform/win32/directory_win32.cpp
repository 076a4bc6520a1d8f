#include <windows.h>

#include <utility>

#include "platform/directory.h"
#include "platform/win32/unique_resource.h"

namespace kindprobe::platform {
namespace {

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

std::u16string Join(const std::u16string& directory, const std::u16string& name) {
  std::u16string path = directory;
  if (!path.empty() && !IsSeparator(path.back())) path += u'\\';
  path += name;
  return path;
}

OpenStatus Failure(DWORD code) {
  return {code == ERROR_TOO_MANY_OPEN_FILES ? OpenStatus::Reason::kOutOfDescriptors
                                            : OpenStatus::Reason::kSystem,
          static_cast<int>(code)};
}

// A directory named by `path`; with `followLinks` false, a reparse point is not entered.
void OpenByPath(std::u16string path, bool followLinks, OpenStatus* status, std::u16string* out) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    *status = Failure(::GetLastError());
  } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *status = {OpenStatus::Reason::kSystem, ERROR_DIRECTORY};
  } else if (!followLinks && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    *status = {OpenStatus::Reason::kSystem, ERROR_CANT_ACCESS_FILE};
  } else {
    *status = {};
    *out = std::move(path);
  }
}

}  // namespace

Directory::~Directory() = default;
Directory::Directory(Directory&& other) noexcept : path_(std::exchange(other.path_, {})) {}
Directory& Directory::operator=(Directory&& other) noexcept {
  if (this != &other) path_ = std::exchange(other.path_, {});
  return *this;
}

Directory Directory::Open(const std::u16string& path, OpenStatus* status) {
  Directory directory;
  OpenByPath(path, true, status, &directory.path_);
  return directory;
}

Directory Directory::OpenChild(const std::u16string& name, bool followLinks,
                               OpenStatus* status) const {
  Directory child;
  OpenByPath(Join(path_, name), followLinks, status, &child.path_);
  return child;
}

File Directory::OpenFile(const std::u16string& name, bool /*followLinks*/, OpenStatus* status,
                         EntryKind listedAs) const {
  // Links to files are only listed when they are to be followed. A listing shows no devices.
  return File::Open(Join(path_, name).c_str(), listedAs != EntryKind::kRegularFile, status);
}

bool Directory::IsOpen() const { return !path_.empty(); }

bool Directory::List(std::vector<DirectoryEntry>* entries, int* error) const {
  entries->clear();
  const std::u16string pattern = Join(path_, u"*");
  WIN32_FIND_DATAW data;
  win32::UniqueFindHandle find(::FindFirstFileExW(Wide(pattern), FindExInfoBasic, &data,
                                                  FindExSearchNameMatch, nullptr,
                                                  FIND_FIRST_EX_LARGE_FETCH));
  if (!find) {
    *error = static_cast<int>(::GetLastError());
    return *error == ERROR_FILE_NOT_FOUND;
  }
  do {
    const std::u16string name(reinterpret_cast<const char16_t*>(data.cFileName));
    if (name == u"." || name == u"..") continue;
    DirectoryEntry entry;
    entry.name = name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      entry.kind = EntryKind::kSymbolicLink;
    } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      entry.kind = EntryKind::kDirectory;
    } else {
      entry.kind = EntryKind::kRegularFile;
    }
    entries->push_back(std::move(entry));
  } while (::FindNextFileW(find.get(), &data));
  *error = static_cast<int>(::GetLastError());
  return *error == ERROR_NO_MORE_FILES;
}

std::optional<FileIdentity> Directory::Identity() const {
  win32::UniqueFileHandle handle(
      ::CreateFileW(Wide(path_), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle.get(), &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

uint64_t Directory::ListingSize() const { return 0; }

EntryKind Directory::KindBehindLink(const std::u16string& name) const {
  return IsDirectory(Join(path_, name)) ? EntryKind::kDirectory : EntryKind::kOther;
}

bool IsDirectory(const std::u16string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace kindprobe::platform
