// A one-line count of the files done so far, on standard error, for long recursive scans.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace kindprobe::cli {

class Progress {
 public:
  // Shows nothing unless `enabled`.
  Progress(std::FILE* stream, bool enabled);
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  ~Progress() { Clear(); }

  // Removes the line, so that output written next starts on a clean line.
  void Clear();
  // Whether it is time to show the count again (never when disabled).
  bool Due() const;
  // Shows the count.
  void Update(uint64_t filesDone);

 private:
  std::FILE* stream_;
  bool enabled_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point lastShown_{};
};

}  // namespace kindprobe::cli
