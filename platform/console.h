// The command's text on its standard streams. A Windows console shows UTF-16 text whatever its
// code page, so text bound for one goes through the console itself; a file, a pipe or a POSIX
// terminal gets the UTF-8 bytes unchanged.
#pragma once

#include <cstdio>
#include <string_view>

namespace kindprobe::platform {

// Writes UTF-8 `text` to `stream`. Text for a console is written at once, after whatever the
// stream still buffers; a failure is left in the stream's error indicator, as fwrite leaves it.
void WriteText(std::FILE* stream, std::string_view text);

// Removes the line the cursor is on from the terminal or console `stream` and puts the cursor
// at its start, for a status line redrawn in place.
void EraseLine(std::FILE* stream);

}  // namespace kindprobe::platform
