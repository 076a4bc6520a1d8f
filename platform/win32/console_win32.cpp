#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "platform/console.h"
#include "platform/utf.h"

namespace kindprobe::platform {
namespace {

// Consoles have refused single writes of more than about 64 KB; lines are far shorter.
constexpr DWORD kMaxUnitsPerWrite = 16 * 1024;

HANDLE FindConsole(std::FILE* stream) {
  const intptr_t osHandle = ::_get_osfhandle(::_fileno(stream));
  if (osHandle == -1) return nullptr;
  const HANDLE handle = reinterpret_cast<HANDLE>(osHandle);
  DWORD mode = 0;
  return ::GetConsoleMode(handle, &mode) ? handle : nullptr;
}

// What FindConsole answered for one standard stream, kept: every result line is written
// through here. Threads that ask at once all find the same answer and may all store it, so
// plain atomics do, without the runtime's guard of a function-local static (whose lock a
// module would leave behind each time it is unloaded).
struct KnownConsole {
  std::atomic<bool> asked{false};
  std::atomic<HANDLE> console{nullptr};
};
constinit KnownConsole knownOutput;
constinit KnownConsole knownError;

HANDLE Remembered(KnownConsole& known, std::FILE* stream) {
  if (!known.asked.load(std::memory_order_acquire)) {
    known.console.store(FindConsole(stream), std::memory_order_relaxed);
    known.asked.store(true, std::memory_order_release);
  }
  return known.console.load(std::memory_order_relaxed);
}

// The console behind `stream`, or null when it is a file, a pipe or nothing.
HANDLE ConsoleOf(std::FILE* stream) {
  if (stream == stdout) return Remembered(knownOutput, stdout);
  if (stream == stderr) return Remembered(knownError, stderr);
  return FindConsole(stream);
}

bool WriteConsoleText(HANDLE console, std::u16string_view text) {
  while (!text.empty()) {
    const DWORD units = static_cast<DWORD>(std::min<size_t>(text.size(), kMaxUnitsPerWrite));
    DWORD written = 0;
    if (!::WriteConsoleW(console, text.data(), units, &written, nullptr) || written == 0) {
      return false;
    }
    text.remove_prefix(written);
  }
  return true;
}

}  // namespace

void WriteText(std::FILE* stream, std::string_view text) {
  const HANDLE console = ConsoleOf(stream);
  // Bytes still buffered were written before this text and must appear before it.
  if (console == nullptr || std::fflush(stream) != 0) {
    std::fwrite(text.data(), 1, text.size(), stream);
    return;
  }
  const std::u16string wide = Utf8ToUtf16(text);
  // A console that refuses the text gets the bytes through the stream instead: shown or not,
  // a failure then marks the stream, where the command looks for it at the end.
  if (!WriteConsoleText(console, wide)) std::fwrite(text.data(), 1, text.size(), stream);
}

void EraseLine(std::FILE* stream) {
  const HANDLE console = ConsoleOf(stream);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (console == nullptr || std::fflush(stream) != 0 ||
      !::GetConsoleScreenBufferInfo(console, &info)) {
    std::fputs("\r", stream);
    return;
  }
  // The console's own cells are blanked: it needs no escape sequences for that.
  const COORD lineStart{0, info.dwCursorPosition.Y};
  DWORD blanked = 0;
  ::FillConsoleOutputCharacterW(console, L' ', static_cast<DWORD>(info.dwSize.X), lineStart,
                                &blanked);
  ::FillConsoleOutputAttribute(console, info.wAttributes, static_cast<DWORD>(info.dwSize.X),
                               lineStart, &blanked);
  ::SetConsoleCursorPosition(console, lineStart);
}

}  // namespace kindprobe::platform
