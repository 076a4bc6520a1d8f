#include "cli/scan/path_source.h"

#include <algorithm>

#include "cli/options.h"
#include "diagnosis/failure_text.h"
#include "platform/process.h"

namespace kindprobe::cli {
namespace {

// Directories a walk keeps open: the deepest ones, where it goes on soonest.
constexpr size_t kOpenFrames = 8;

// A directory is listed once this many of the paths named fall in it, and at least one for
// every this many bytes of its size. Listing a directory costs about half of what looking at
// each of its entries does (ext4, Linux 6), so a listing pays from about half its entries on;
// made after an eighth, it has cost at worst four times the looks it was to spare, should no
// more paths come.
constexpr size_t kListAfterPaths = 8;
constexpr uint64_t kListingBytesPerPath = 256;

bool ByName(const platform::DirectoryEntry& a, const platform::DirectoryEntry& b) {
  return a.name < b.name;
}

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

bool PathSource::NextInput(std::u16string* path, bool* named) {
  *named = nextArgument_ < arguments_.size();
  if (*named) {
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
  std::sort(frame.entries.begin(), frame.entries.end(), ByName);
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
                       EntryKind::kOther,
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
      if (!settings_.followLinks) {
        ++linksSkipped_;
        continue;
      }
      kind = frame.directory->KindBehindLink(entry.name);
    }
    std::u16string child = JoinPath(frame.path, entry.name);
    if (kind != EntryKind::kDirectory) {
      item->path = std::move(child);
      item->parent = frame.directory;
      item->name = entry.name;
      item->listedAs = kind;
      item->followLinks = settings_.followLinks;
      item->failure.clear();
      item->named = false;
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
    *item = PathItem{std::move(child), nullptr,          {}, EntryKind::kOther,
                     settings_.followLinks, std::move(failure)};
    return true;
  }
  return false;
}

void PathSource::OpenThroughDirectory(PathItem* item) {
  const std::u16string_view path = item->path;
  const size_t separator = path.find_last_of(u'/');
  const std::u16string_view name =
      separator == std::u16string_view::npos ? path : path.substr(separator + 1);
  // A path that ends in a separator, or in "." or "..", names no entry of a directory.
  if (name.empty() || name == u"." || name == u"..") return;
  const std::u16string_view directory = separator == std::u16string_view::npos ? u"."
                                        : separator == 0                     ? u"/"
                                                          : path.substr(0, separator);
  if (named_.pathsNamed == 0 || directory != named_.path) {
    named_ = NamedDirectory{};
    named_.path = directory;
  }
  // The first path in a directory goes by its whole path: it costs no more.
  if (++named_.pathsNamed < 2 || named_.unusable) return;
  if (!named_.directory) {
    platform::OpenStatus status;
    platform::Directory opened = platform::Directory::Open(named_.path, &status);
    if (!opened.IsOpen()) {
      // Its whole path says why, for each path in it.
      named_.unusable = true;
      return;
    }
    named_.listAfter = static_cast<size_t>(
        std::max<uint64_t>(kListAfterPaths, opened.ListingSize() / kListingBytesPerPath));
    named_.directory = std::make_shared<const Directory>(std::move(opened));
  }
  if (!named_.listed && named_.pathsNamed >= named_.listAfter) {
    // Listed once: a directory that cannot be read leaves every path to be looked at.
    named_.listed = true;
    int code = 0;
    if (!named_.directory->List(&named_.entries, &code)) named_.entries.clear();
    // Looked up by hash: sorting a large directory would cost more than the looks it spares.
    named_.kinds.reserve(named_.entries.size());
    for (const platform::DirectoryEntry& entry : named_.entries) {
      named_.kinds.emplace(entry.name, entry.kind);
    }
  }
  item->parent = named_.directory;
  item->name = name;
  const auto found = named_.kinds.find(name);
  item->listedAs = found != named_.kinds.end() ? found->second : EntryKind::kOther;
}

bool PathSource::NextIsReady() const {
  if (!walk_.empty() || nextArgument_ < arguments_.size() || lists_ == nullptr) return true;
  return lists_->HasCompleteEntry();
}

bool PathSource::Next(PathItem* item) {
  for (;;) {
    if (NextFromWalk(item)) return true;
    std::u16string path;
    bool named = false;
    if (!NextInput(&path, &named)) return false;
    *item = PathItem{std::move(path), nullptr, {}, EntryKind::kOther, true, {}, named};
    if (named && item->path == kStandardInputPath) return true;
    // A directory named directly is walked only with -r; otherwise opening it says why not.
    if (!settings_.recursive || !platform::IsDirectory(item->path)) {
      if (platform::kOpenListedPathsThroughDirectory) OpenThroughDirectory(item);
      return true;
    }
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
