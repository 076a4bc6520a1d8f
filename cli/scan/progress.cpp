#include "cli/scan/progress.h"

#include <string>

#include "cli/text/text_join.h"
#include "platform/console.h"

namespace kindprobe::cli {
namespace {

constexpr auto kInterval = std::chrono::milliseconds(200);

}  // namespace

Progress::Progress(std::FILE* stream, bool enabled)
    : stream_(stream), enabled_(enabled), lastShown_(std::chrono::steady_clock::now()) {}

void Progress::Clear() {
  if (!shown_) return;
  platform::EraseLine(stream_);
  std::fflush(stream_);
  shown_ = false;
}

bool Progress::Due() const {
  return enabled_ && std::chrono::steady_clock::now() - lastShown_ >= kInterval;
}

void Progress::Update(uint64_t filesDone) {
  if (!enabled_) return;
  lastShown_ = std::chrono::steady_clock::now();
  platform::EraseLine(stream_);
  platform::WriteText(stream_, Join({"kindprobe: ", std::to_string(filesDone), " files examined"}));
  std::fflush(stream_);
  shown_ = true;
}

}  // namespace kindprobe::cli
