#include "cli/path_source.h"

#include <algorithm>

namespace kindprobe::cli {

std::u16string JoinPath(const std::u16string& directory, const std::u16string& name) {
  std::u16string path;
  path.reserve(directory.size() + 1 + name.size());
  path = directory;
  if (!path.empty() && !IsPathSeparator(path.back())) path += PreferredSeparator();
  path += name;
  return path;
}

PathSource::PathSource(const std::vector<std::u16string>& arguments, ListReader* list,
                       Settings settings)
    : arguments_(arguments), list_(list), settings_(settings) {}

bool PathSource::NextInput(std::u16string* path) {
  if (nextArgument_ < arguments_.size()) {
    *path = arguments_[nextArgument_++];
    return true;
  }
  return list_ != nullptr && list_->Next(path);
}

bool PathSource::IsOnWalk(const std::optional<DirectoryIdentity>& identity) const {
  if (!identity) return false;
  return std::any_of(walk_.begin(), walk_.end(),
                     [&](const Frame& frame) { return frame.identity == identity; });
}

bool PathSource::Enter(const std::u16string& directory) {
  Frame frame;
  // Without -L no link is followed, so the walk cannot come back to where it was.
  if (settings_.followLinks) {
    frame.identity = IdentifyDirectory(directory);
    if (IsOnWalk(frame.identity)) {
      ++loopsSkipped_;
      return true;
    }
  }
  if (!ListDirectory(directory, &frame.entries)) return false;
  // Directory order depends on the file system; sorted output is the same everywhere.
  std::sort(frame.entries.begin(), frame.entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  frame.directory = directory;
  walk_.push_back(std::move(frame));
  return true;
}

bool PathSource::NextFromWalk(std::u16string* path) {
  while (!walk_.empty()) {
    Frame& frame = walk_.back();
    if (frame.next == frame.entries.size()) {
      walk_.pop_back();
      continue;
    }
    const DirectoryEntry& entry = frame.entries[frame.next++];
    std::u16string child = JoinPath(frame.directory, entry.name);
    EntryKind kind = entry.kind;
    if (kind == EntryKind::kSymbolicLink) {
      if (!settings_.followLinks) continue;
      kind = IsDirectory(child) ? EntryKind::kDirectory : EntryKind::kOther;
    }
    // `frame` may move when a directory is entered; nothing below uses it.
    if (kind == EntryKind::kDirectory && Enter(child)) continue;
    *path = std::move(child);
    return true;
  }
  return false;
}

bool PathSource::NextIsReady() const {
  if (!walk_.empty() || nextArgument_ < arguments_.size() || list_ == nullptr) return true;
  return list_->HasCompleteEntry();
}

bool PathSource::Next(std::u16string* path) {
  for (;;) {
    if (NextFromWalk(path)) return true;
    if (!NextInput(path)) return false;
    // A directory named directly is walked only with -r; otherwise it is reported like any path
    // the engine cannot open.
    if (!settings_.recursive || !IsDirectory(*path)) return true;
    if (!Enter(*path)) return true;
  }
}

}  // namespace kindprobe::cli
