// A private temporary directory for one test, removed with everything in it. Every test suite
// uses this one owner, natively and under Wine.
#pragma once

#include <filesystem>
#include <string_view>

namespace kindprobe::testsupport {

class TempDir {
 public:
  // A fresh directory in the system's temporary directory.
  TempDir();
  // A fresh directory inside `base` (the Windows tests keep theirs beside the program, which on
  // Wine is the host's file system).
  explicit TempDir(const std::filesystem::path& base);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes `bytes` to `relative` (parents created; on POSIX any bytes in the name) and returns
  // the full path. Throws when the file cannot be written.
  std::filesystem::path Write(const std::filesystem::path& relative, std::string_view bytes) const;
  // Creates `relative` with its parents and returns the full path.
  std::filesystem::path MakeDirectory(const std::filesystem::path& relative) const;

 private:
  std::filesystem::path path_;
};

}  // namespace kindprobe::testsupport
