#include "platform/diagnostic.h"

#include <atomic>
#include <string>

#include "platform/console.h"
#include "platform/utf.h"

namespace kindprobe::platform {
namespace {

std::atomic<std::FILE*> g_stream{nullptr};
std::atomic<bool> g_discarded{false};

}  // namespace

void SetDiagnosticStream(std::FILE* stream) { g_stream.store(stream); }

void SetDiagnosticsDiscarded(bool discarded) { g_discarded.store(discarded); }

void WriteDiagnosticLine(const char16_t* line) {
  if (g_discarded.load()) return;
  std::FILE* stream = g_stream.load();
  if (stream == nullptr) stream = stdout;
  WriteText(stream, Utf16ToUtf8(line));
  std::fflush(stream);
}

}  // namespace kindprobe::platform
