// The one diagnostic line the engine writes.
#pragma once

#include <cstdio>

namespace kindprobe::platform {

// Writes a NUL-terminated UTF-16 line as UTF-8 to the diagnostic stream (standard output
// unless redirected), in one write so lines of concurrent checks do not interleave.
void WriteDiagnosticLine(const char16_t* line);

// Sends diagnostic lines to `stream` instead (the CLI keeps standard output for results).
void SetDiagnosticStream(std::FILE* stream);

// Drops diagnostic lines altogether (a quiet command, or a library inside someone's program).
void SetDiagnosticsDiscarded(bool discarded);

}  // namespace kindprobe::platform
