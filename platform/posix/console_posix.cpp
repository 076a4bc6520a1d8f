#include "platform/console.h"

namespace kindprobe::platform {
namespace {

// Carriage return, then erase to the end of the line.
constexpr char kEraseLine[] = "\r\x1b[K";

}  // namespace

void WriteText(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

void EraseLine(std::FILE* stream) { std::fputs(kEraseLine, stream); }

}  // namespace kindprobe::platform
