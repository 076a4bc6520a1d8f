#include "cli/progress.h"

#include "cli/text_join.h"
#include <string>

namespace kindprobe::cli {
namespace {

constexpr auto kInterval = std::chrono::milliseconds(200);
// Carriage return, then erase to the end of the line.
constexpr char kEraseLine[] = "\r\x1b[K";

}  // namespace

Progress::Progress(std::FILE* stream, bool enabled)
    : stream_(stream), enabled_(enabled), lastShown_(std::chrono::steady_clock::now()) {}

void Progress::Clear() {
  if (!shown_) return;
  std::fputs(kEraseLine, stream_);
  std::fflush(stream_);
  shown_ = false;
}

bool Progress::Due() const {
  return enabled_ && std::chrono::steady_clock::now() - lastShown_ >= kInterval;
}

void Progress::Update(uint64_t filesDone) {
  if (!enabled_) return;
  lastShown_ = std::chrono::steady_clock::now();
  const std::string line =
      Join({kEraseLine, "kindprobe: ", std::to_string(filesDone), " files examined"});
  std::fputs(line.c_str(), stream_);
  std::fflush(stream_);
  shown_ = true;
}

}  // namespace kindprobe::cli
