// The paths to classify, in the order they are printed: the arguments, then the entries of the
// list, each directory expanded in place when walking.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/file_system.h"
#include "cli/list_reader.h"

namespace kindprobe::cli {

class PathSource {
 public:
  struct Settings {
    bool recursive = false;
    bool followLinks = false;
  };

  // `arguments` and `list` must outlive the source; `list` may be null.
  PathSource(const std::vector<std::u16string>& arguments, ListReader* list, Settings settings);

  // The next path. False when every source is exhausted.
  bool Next(std::u16string* path);

  // Whether Next can answer without reading the list again (which may wait on a pipe).
  bool NextIsReady() const;

  // Directories that were skipped because following links led back into them.
  size_t loopsSkipped() const { return loopsSkipped_; }

 private:
  struct Frame {
    std::u16string directory;
    std::vector<DirectoryEntry> entries;  // sorted by name
    size_t next = 0;
    std::optional<DirectoryIdentity> identity;
  };

  bool NextInput(std::u16string* path);
  // Starts walking `directory`. False when it cannot be listed: it is then reported itself.
  bool Enter(const std::u16string& directory);
  bool NextFromWalk(std::u16string* path);
  bool IsOnWalk(const std::optional<DirectoryIdentity>& identity) const;

  const std::vector<std::u16string>& arguments_;
  size_t nextArgument_ = 0;
  ListReader* list_;
  Settings settings_;
  std::vector<Frame> walk_;
  size_t loopsSkipped_ = 0;
};

// `directory` and `name` joined by one separator.
std::u16string JoinPath(const std::u16string& directory, const std::u16string& name);

}  // namespace kindprobe::cli
