// Names as a terminal may safely be given them: on standard output and standard error alike, a
// name of the file system can never move the cursor, clear the screen or start a new line.
#pragma once

#include <string>
#include <string_view>

namespace kindprobe::cli {

// Appends `name` as UTF-8 with control characters (C0, DEL, C1) written as octal escapes of
// their bytes, a newline as \012; other bytes, undecodable ones too, pass unchanged.
void AppendPrintableName(std::u16string_view name, std::string* out);

// `name` as AppendPrintableName writes it.
std::string PrintableName(std::u16string_view name);

}  // namespace kindprobe::cli
