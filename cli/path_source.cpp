#include "cli/path_source.h"

#include <algorithm>

#include "cli/failure_text.h"
#include "platform/process.h"

namespace kindprobe::cli {
namespace {

// Directories a walk keeps open: the deepest ones, where it goes on soonest.
constexpr size_t kOpenFrames = 8;

}  // namespace

using platform::Directory;
using platform::EntryKind;

std::u16string JoinPath(const std::u16string& directory, const std::u16string& name) {
  std::u16string path;
  path.reserve(directory.size() + 1 + name.size());
  path = directory;
  if (!path.empty() && !platform::IsPathSeparator(path.back())) {
    path += platform::PreferredSeparator();
  }
  path += name;
  return path;
}

PathSource::PathSource(const std::vector<std::u16string>& arguments, ListSequence* lists,
                       Settings settings)
    : arguments_(arguments), lists_(lists), settings_(settings) {}

bool PathSource::NextInput(std::u16string* path) {
  if (nextArgument_ < arguments_.size()) {
    *path = arguments_[nextArgument_++];
    return true;
  }
  return lists_ != nullptr && lists_->Next(path);
}

PathSource::Entered PathSource::Enter(Directory directory, const std::u16string& path,
                                      std::string* failure) {
  Frame frame;
  frame.identity = directory.Identity();
  // Without -L no link is followed, so no directory can be reached twice.
  if (settings_.followLinks && frame.identity && !visited_.insert(*frame.identity).second) {
    ++repeatsSkipped_;
    return Entered::kRepeat;
  }
  int code = 0;
  // Listing takes a descriptor of its own; when there is none, the walk gives back its others.
  if (!directory.List(&frame.entries, &code) &&
      (!ReleaseAncestors() || !directory.List(&frame.entries, &code))) {
    *failure = DescribeListFailure(code);
    return Entered::kFailed;
  }
  // Directory order depends on the file system; sorted output is the same everywhere.
  std::sort(frame.entries.begin(), frame.entries.end(),
            [](const platform::DirectoryEntry& a, const platform::DirectoryEntry& b) {
              return a.name < b.name;
            });
  frame.directory = std::make_shared<const Directory>(std::move(directory));
  frame.path = path;
  walk_.push_back(std::move(frame));
  if (walk_.size() > kOpenFrames) walk_[walk_.size() - 1 - kOpenFrames].directory.reset();
  return Entered::kYes;
}

bool PathSource::ReleaseAncestors() {
  bool released = false;
  for (size_t i = 0; i + 1 < walk_.size(); ++i) {
    released |= walk_[i].directory != nullptr;
    walk_[i].directory.reset();
  }
  return released;
}

bool PathSource::Leave(PathItem* item) {
  const Frame& child = walk_.back();
  if (walk_.size() >= 2 && !walk_[walk_.size() - 2].directory) {
    Frame& parent = walk_[walk_.size() - 2];
    // Up through "..", or, where a followed link led down, by the path.
    platform::OpenStatus status;
    Directory again = child.directory->OpenChild(u"..", true, &status);
    if (!again.IsOpen() || again.Identity() != parent.identity) {
      again = Directory::Open(parent.path, &status);
    }
    if (!again.IsOpen() || !parent.identity || again.Identity() != parent.identity) {
      // Moved or gone while it was closed.
      *item = PathItem{parent.path,
                       nullptr,
                       {},
                       settings_.followLinks,
                       "cannot return to the directory (moved or removed during the walk)"};
      walk_.clear();
      return false;
    }
    parent.directory = std::make_shared<const Directory>(std::move(again));
  }
  walk_.pop_back();
  return true;
}

bool PathSource::NextFromWalk(PathItem* item) {
  while (!walk_.empty()) {
    Frame& frame = walk_.back();
    if (frame.next == frame.entries.size()) {
      if (!Leave(item)) return true;
      continue;
    }
    const platform::DirectoryEntry& entry = frame.entries[frame.next++];
    EntryKind kind = entry.kind;
    if (kind == EntryKind::kSymbolicLink) {
      if (!settings_.followLinks) continue;
      kind = frame.directory->KindBehindLink(entry.name);
    }
    std::u16string child = JoinPath(frame.path, entry.name);
    if (kind != EntryKind::kDirectory) {
      item->path = std::move(child);
      item->parent = frame.directory;
      item->name = entry.name;
      item->followLinks = settings_.followLinks;
      item->failure.clear();
      return true;
    }
    platform::OpenStatus status;
    Directory directory = frame.directory->OpenChild(entry.name, settings_.followLinks, &status);
    if (status.reason == platform::OpenStatus::Reason::kOutOfDescriptors && ReleaseAncestors()) {
      directory = frame.directory->OpenChild(entry.name, settings_.followLinks, &status);
    }
    // `frame` may move when a directory is entered; nothing below uses it.
    std::string failure;
    if (!directory.IsOpen()) {
      failure = DescribeOpenFailure(status);
    } else if (Enter(std::move(directory), child, &failure) != Entered::kFailed) {
      continue;
    }
    *item = PathItem{std::move(child), nullptr, {}, settings_.followLinks, std::move(failure)};
    return true;
  }
  return false;
}

bool PathSource::NextIsReady() const {
  if (!walk_.empty() || nextArgument_ < arguments_.size() || lists_ == nullptr) return true;
  return lists_->HasCompleteEntry();
}

bool PathSource::Next(PathItem* item) {
  for (;;) {
    if (NextFromWalk(item)) return true;
    std::u16string path;
    if (!NextInput(&path)) return false;
    *item = PathItem{std::move(path), nullptr, {}, true, {}};
    // A directory named directly is walked only with -r; otherwise opening it says why not.
    if (!settings_.recursive || !platform::IsDirectory(item->path)) return true;
    platform::OpenStatus status;
    Directory directory = Directory::Open(item->path, &status);
    if (!directory.IsOpen()) {
      item->failure = DescribeOpenFailure(status);
      return true;
    }
    // Each walk named on the command line or in a list is whole, whatever others covered.
    visited_.clear();
    if (Enter(std::move(directory), item->path, &item->failure) == Entered::kFailed) return true;
  }
}

}  // namespace kindprobe::cli
