// The paths to classify, in the order they are printed: the arguments, then the entries of the
// lists, each directory expanded in place when walking.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "cli/scan/list_reader.h"
#include "platform/directory.h"

namespace kindprobe::cli {

// One path to classify, and where to open it from.
struct PathItem {
  std::u16string path;  // as printed
  // For a file met while walking: its open directory, in which it is opened as `name`, so that
  // the length of `path` never matters.
  std::shared_ptr<const platform::Directory> parent;
  std::u16string name;
  // What `parent`'s listing showed `name` to be: a regular file is opened without a look first.
  platform::EntryKind listedAs = platform::EntryKind::kOther;
  bool followLinks = true;
  // Set when it is known already that the path cannot be examined, and why.
  std::string failure;
  // Named on the command line: "-" (standard input) or a pipe or FIFO is read as the file.
  bool named = false;
};


class PathSource {
 public:
  struct Settings {
    bool recursive = false;
    bool followLinks = false;
  };

  // `arguments` and `lists` must outlive the source; `lists` may be null.
  PathSource(const std::vector<std::u16string>& arguments, ListSequence* lists, Settings settings);

  // The next path. False when every source is exhausted.
  bool Next(PathItem* item);

  // Whether Next can answer without reading a list again (which may wait on a pipe).
  bool NextIsReady() const;

  // Directories not walked again because a followed link led to one walked already.
  size_t repeatsSkipped() const { return repeatsSkipped_; }
  // Symbolic links met while walking without following links, and so left out.
  size_t linksSkipped() const { return linksSkipped_; }

 private:
  struct Frame {
    // Closed (null) while the walk is deeper than kOpenFrames below it, reopened on the way
    // back: a deep walk holds few descriptors.
    std::shared_ptr<const platform::Directory> directory;
    std::optional<platform::FileIdentity> identity;
    std::u16string path;
    std::vector<platform::DirectoryEntry> entries;  // sorted by name
    size_t next = 0;
  };
  struct IdentityHash {
    size_t operator()(const platform::FileIdentity& id) const {
      return std::hash<uint64_t>()(id.node * 0x9E3779B97F4A7C15ull ^ id.device);
    }
  };
  enum class Entered { kYes, kRepeat, kFailed };
  // The directory of the last paths named: once enough paths have fallen in it, they are
  // opened through it, and its listing tells which are regular files.
  struct NamedDirectory {
    std::u16string path;  // as written, without the last separator
    size_t pathsNamed = 0;
    size_t listAfter = 0;  // the listing is made when this many paths have fallen in it
    std::shared_ptr<const platform::Directory> directory;
    bool unusable = false;  // it could not be opened: paths go by their whole path
    bool listed = false;  // the listing was made, or could not be
    std::vector<platform::DirectoryEntry> entries;  // once listed
    std::unordered_map<std::u16string_view, platform::EntryKind> kinds;  // names in `entries`
  };

  // The next path named; `named` tells an argument from a list entry.
  bool NextInput(std::u16string* path, bool* named);
  // Gives `item`, a path as named, its directory and what the listing shows, when that is
  // worth it.
  void OpenThroughDirectory(PathItem* item);
  // Starts walking `directory`, found at `path`. On kFailed, `failure` says why.
  Entered Enter(platform::Directory directory, const std::u16string& path, std::string* failure);
  bool NextFromWalk(PathItem* item);
  // Leaves the top frame for its parent, reopening the parent if it was closed. False when it
  // cannot be found again: `item` then reports it, and the rest of this walk is dropped.
  bool Leave(PathItem* item);
  // Closes every directory of the walk but the deepest, for a system out of descriptors.
  // False when there was none to close.
  bool ReleaseAncestors();

  const std::vector<std::u16string>& arguments_;
  size_t nextArgument_ = 0;
  ListSequence* lists_;
  Settings settings_;
  std::vector<Frame> walk_;
  NamedDirectory named_;
  // With links followed, every directory the current walk has entered: each is walked once.
  std::unordered_set<platform::FileIdentity, IdentityHash> visited_;
  size_t repeatsSkipped_ = 0;
  size_t linksSkipped_ = 0;
};

// `directory` and `name` joined by one separator.
std::u16string JoinPath(const std::u16string& directory, const std::u16string& name);

}  // namespace kindprobe::cli
